#include "zip_data_descriptor.h"

#include <optional>

#include "header_bytes.h"

namespace {

constexpr const char* CUT_SHORT = "data_descriptor_read: data descriptor is cut short.";

// One layout read from bytes; nullopt when it does not fit or lacks the
// signature it expects.
std::optional<ZipDataDescriptor> layout_read(std::string_view bytes, bool signature, bool wide) {
    const std::size_t start = signature ? 4 : 0;
    const std::size_t width = wide ? 8 : 4;
    const std::size_t length = start + 4 + 2 * width;
    if (bytes.size() < length) return std::nullopt;
    const coding::LeBytes field(bytes, CUT_SHORT);
    if (signature && field.u32(0) != ZIP_DESCRIPTOR_SIGNATURE) return std::nullopt;
    ZipDataDescriptor descriptor;
    descriptor.crc = field.u32(start);
    descriptor.compressed_size = field.get(start + 4, width);
    descriptor.uncompressed_size = field.get(start + 4 + width, width);
    descriptor.length = length;
    return descriptor;
}

}  // namespace

bool data_descriptor_agrees(const ZipDataDescriptor& descriptor, const ZipCentralRecord& record) {
    return descriptor.crc == record.crc && descriptor.compressed_size == record.compressed_size &&
           descriptor.uncompressed_size == record.uncompressed_size;
}

ZipDataDescriptor data_descriptor_read(std::string_view bytes, const ZipCentralRecord& expected, bool zip64) {
    for (const bool signature : {true, false}) {
        for (const bool wide : {zip64, !zip64}) {
            const std::optional<ZipDataDescriptor> descriptor = layout_read(bytes, signature, wide);
            if (descriptor && data_descriptor_agrees(*descriptor, expected)) return *descriptor;
        }
    }
    const bool signature = bytes.size() >= 4 && coding::LeBytes(bytes, CUT_SHORT).u32(0) == ZIP_DESCRIPTOR_SIGNATURE;
    const std::optional<ZipDataDescriptor> likely = layout_read(bytes, signature, zip64);
    if (!likely) throw CUT_SHORT;
    return *likely;
}
