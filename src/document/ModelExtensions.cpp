#include "document/ModelExtensions.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quav {

namespace {

constexpr std::size_t kTagBytes = 4;
constexpr std::size_t kSectionHeaderBytes = kTagBytes + 4;

bool validTag(std::string_view tag) {
    return tag.size() == kTagBytes && std::all_of(tag.begin(), tag.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
}

bool essential(std::string_view tag) {
    return tag[0] >= 'A' && tag[0] <= 'Z';
}

std::string quoted(std::string_view tag) {
    return "\"" + std::string(tag) + "\"";
}

} // namespace

void writeExtensionBlock(ArchiveWriter& out, const AnalysisModel& model,
                         const Optimizer& optimizer) {
    std::string sections;
    for (const ExtensionSection& section : extensionSections()) {
        if (!section.hasData(model, optimizer))
            continue;
        ArchiveWriter payload;
        section.write(payload, model, optimizer);
        if (!payload.ok()) {
            out.fail(payload.error());
            return;
        }
        // Lengths are 32-bit: no part may outgrow the largest model file.
        if (payload.size() + sections.size() > maxModelFileBytes) {
            out.fail("拡張データが大きすぎます");
            return;
        }
        ArchiveWriter header;
        header.writeRaw(section.tag);
        header.writeI32(static_cast<std::int32_t>(payload.size()));
        sections += header.bytes();
        sections += payload.bytes();
    }
    if (sections.empty())
        return;
    out.writeRaw(kExtensionMagic);
    out.writeI32(kExtensionBlockVersion);
    out.writeI32(static_cast<std::int32_t>(sections.size()));
    out.writeRaw(sections);
}

void readExtensionBlock(ArchiveReader& in, ExtensionTarget target) {
    const std::span<const ExtensionSection> known = extensionSections();
    const std::size_t left = in.remaining();
    if (left == 0)
        return;
    // Bytes after the optimiser block that are no block: ignored, as always. A
    // cut-off magic is a block cut short.
    const std::size_t compared = std::min(left, kExtensionMagic.size());
    const std::string_view head = in.readRaw(compared);
    if (head != kExtensionMagic.substr(0, compared))
        return;
    if (compared < kExtensionMagic.size())
        return in.fail("拡張データが途中で終わっています");

    const std::int32_t version = in.readI32();
    const std::int32_t length = in.readI32();
    if (!in.ok())
        return;
    if (version < 1)
        return in.fail("拡張データの版 " + std::to_string(version) + " が不正です");
    if (version > kExtensionBlockVersion)
        return in.fail("拡張データの版 " + std::to_string(version) +
                       " はこの QUAV では読めません（新しい版の QUAV で保存されたファイルです）");
    if (length < 0 || static_cast<std::size_t>(length) != in.remaining())
        return in.fail("拡張データの長さ " + std::to_string(length) + " がファイルの残り " +
                       std::to_string(in.remaining()) + " バイトと合いません");

    std::vector<std::string_view> seen;
    while (in.ok() && in.remaining() > 0) {
        if (in.remaining() < kSectionHeaderBytes)
            return in.fail("拡張データの区画が途中で終わっています");
        const std::string_view tag = in.readRaw(kTagBytes);
        const std::int32_t size = in.readI32();
        if (!validTag(tag))
            return in.fail("拡張データの区画の名前が不正です");
        if (std::find(seen.begin(), seen.end(), tag) != seen.end())
            return in.fail("拡張データの区画 " + quoted(tag) + " が重複しています");
        seen.push_back(tag);
        if (size < 0 || static_cast<std::size_t>(size) > in.remaining())
            return in.fail("拡張データの区画 " + quoted(tag) + " の長さ " + std::to_string(size) +
                           " が不正です");
        const std::size_t payloadStart = in.fileOffset();
        const std::string_view payload = in.readRaw(static_cast<std::size_t>(size));
        const auto codec = std::find_if(known.begin(), known.end(),
                                        [tag](const ExtensionSection& s) { return s.tag == tag; });
        if (codec == known.end()) {
            if (essential(tag))
                return in.fail("この QUAV では読めない拡張データ " + quoted(tag) +
                               " があります（新しい版の QUAV で保存されたファイルです）");
            continue; // optional: its writer allowed it to be dropped
        }
        // The section's own reader sees its payload and nothing else; the positions
        // it reports are still the file's.
        ArchiveReader section(payload, payloadStart);
        codec->read(section, target);
        if (section.ok() && section.remaining() > 0)
            section.fail("拡張データの区画 " + quoted(tag) +
                         " の終わりに読まれないデータがあります");
        if (!section.ok())
            return in.failAs(section);
    }
}

} // namespace quav
