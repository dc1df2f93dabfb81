#pragma once
// The record fields a configuration file can set and show-record prints, in record order.
// Parsing and printing both go through these tables, so the two always agree on names,
// kinds and widths. Reserved fields are deliberately absent.
#include "IntegerText.h"
#include "core/ConfigRecord.h"
#include "common/FixedText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace NorvaneTool {

enum class FieldKind { Text, Integer };

enum class StoreResult { Stored, TooLong, NotAnInteger };

// One field of a block: the record's top level or a server block.
template <typename Block>
struct BlockField {
    const wchar_t* name;
    FieldKind kind;
    std::size_t width; // text fields: UTF-16 units including the terminating zero; 0 for integers
    std::wstring (*read)(const Block& block);
    StoreResult (*store)(Block& block, const std::wstring& value);
};

using TopLevelField = BlockField<ConfigRecord>;
using ServerField = BlockField<ServerBlock>;

const std::vector<TopLevelField>& TopLevelFields();
const std::vector<ServerField>& ServerFields();

// Null when the block has no settable field of that name; names are case-sensitive.
template <typename Block>
const BlockField<Block>* FindField(const std::vector<BlockField<Block>>& fields, const std::wstring& name)
{
    for (const BlockField<Block>& field : fields) {
        if (name == field.name)
            return &field;
    }
    return nullptr;
}

namespace Detail {

template <typename Member>
struct MemberOf;

template <typename Owner, typename Value>
struct MemberOf<Value Owner::*> {
    using Block = Owner;
    using Type = Value;
};

template <auto Member>
using BlockOf = typename MemberOf<decltype(Member)>::Block;

// Accessors are generated per member so that the bounded field helpers see each field's
// real array type, and a table entry cannot name one field and write another.
template <auto Member>
struct TextAccess {
    static std::wstring Read(const BlockOf<Member>& block) { return Common::FieldText(block.*Member); }

    static StoreResult Store(BlockOf<Member>& block, const std::wstring& value)
    {
        return Common::StoreFieldText(block.*Member, value) ? StoreResult::Stored : StoreResult::TooLong;
    }
};

template <auto Member>
struct IntegerAccess {
    static std::wstring Read(const BlockOf<Member>& block) { return FormatInteger(block.*Member); }

    static StoreResult Store(BlockOf<Member>& block, const std::wstring& value)
    {
        int32_t number = 0;
        if (!ParseInteger(value, number))
            return StoreResult::NotAnInteger;
        block.*Member = number;
        return StoreResult::Stored;
    }
};

} // namespace Detail

template <auto Member>
BlockField<Detail::BlockOf<Member>> TextField(const wchar_t* name)
{
    using Array = typename Detail::MemberOf<decltype(Member)>::Type;
    static_assert(std::is_same<std::remove_extent_t<Array>, wchar_t>::value, "text fields are UTF-16 arrays");
    return {name, FieldKind::Text, std::extent<Array>::value, &Detail::TextAccess<Member>::Read,
            &Detail::TextAccess<Member>::Store};
}

template <auto Member>
BlockField<Detail::BlockOf<Member>> IntegerField(const wchar_t* name)
{
    using Value = typename Detail::MemberOf<decltype(Member)>::Type;
    static_assert(std::is_same<Value, int32_t>::value, "integer fields are 32-bit");
    return {name, FieldKind::Integer, 0, &Detail::IntegerAccess<Member>::Read,
            &Detail::IntegerAccess<Member>::Store};
}

} // namespace NorvaneTool
