#include "RecordText.h"

namespace NorvaneTool {

std::string RecordResourceData(const ConfigRecord& record)
{
    std::string data = EncodeRecordText(reinterpret_cast<const unsigned char*>(&record), sizeof record);
    data += '\0';
    return data;
}

std::size_t DecodeRecordText(const std::string& data, ConfigRecord& record)
{
    record = ConfigRecord{};
    // c_str() is terminated even when the resource data itself is not.
    return DecodeBase64(data.c_str(), reinterpret_cast<unsigned char*>(&record), sizeof record);
}

} // namespace NorvaneTool
