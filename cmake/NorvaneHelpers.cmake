# Programs with a wide entry point (wmain / wWinMain).
function(norvane_unicode_entry target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# An all-zero record in the form the configuration tool stores it, so that every client
# carries resource "BINARY"/99 in one language and a configured copy replaces it in place.
function(norvane_write_empty_record_rc path)
  string(REPEAT "A" 76 full_line)
  string(REPEAT "A" 44 last_line)
  set(body "")
  foreach(i RANGE 1 69)
    string(APPEND body "    \"${full_line}\\r\\n\"\n")
  endforeach()
  string(APPEND body "    \"${last_line}\\0\"\n")
  file(WRITE ${path} "LANGUAGE 0x09, 0x01\n99 BINARY\nBEGIN\n${body}END\n")
endfunction()
