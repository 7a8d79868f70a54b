#include "report/ZipRecords.h"

namespace Misc::Zip
{

using namespace Record;

namespace
{

// The fields from "version needed" to the extra field's length, alike in both headers.
void SharedFields(const EntryRecord& entry, std::uint16_t flags, std::size_t extraSize, Bytes& out)
{
    out.U16(kVersionNeeded);
    out.U16(flags);
    out.U16(entry.method);
    out.U16(entry.time);
    out.U16(entry.date);
    out.U32(entry.crc);
    out.U32(entry.compressedSize);
    out.U32(entry.size);
    out.U16(static_cast<std::uint16_t>(entry.name.size()));
    out.U16(static_cast<std::uint16_t>(extraSize));
}

} // namespace

void LocalHeader(const EntryRecord& entry, std::uint16_t flags, Bytes& out)
{
    out.U32(kLocalHeaderSignature);
    SharedFields(entry, flags, kLocalExtraSize, out);
}

void CentralHeader(const EntryRecord& entry, Bytes& out)
{
    out.U32(kCentralHeaderSignature);
    out.U16(kVersionMadeBy);
    SharedFields(entry, entry.flags, kCentralExtraSize, out);
    out.U16(0); // comment length
    out.U16(0); // disk number start
    out.U16(0); // internal attributes
    out.U32(entry.externalAttributes);
    out.U32(entry.localHeaderOffset);
    out.Append(entry.name);
    // The central form names all three times in its flags, but carries only the first.
    out.U16(kTimestampId);
    out.U16(5);
    out.U8(kTimestampFlags);
    out.U32(entry.modified);
}

void EndRecord(std::uint16_t entries, std::uint32_t directorySize, std::uint32_t directoryOffset, Bytes& out)
{
    out.U32(kEndRecordSignature);
    out.U16(0); // this disk
    out.U16(0); // the disk where the directory starts
    out.U16(entries);
    out.U16(entries);
    out.U32(directorySize);
    out.U32(directoryOffset);
    out.U16(0); // comment length
}

} // namespace Misc::Zip
