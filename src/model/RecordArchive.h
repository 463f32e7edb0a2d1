#pragma once

#include "model/Archive.h"
#include "model/RecordFields.h"

#include <string>
#include <type_traits>
#include <variant>

namespace quav {

/// Writes the file record of `r` by its layout, the slots of format `version`
/// in slot order. A text CP932 cannot encode fails the writer, naming the
/// owner and the field ("ばね要素（ID 5）の名前").
template <class R>
void writeRecord(ArchiveWriter& out, const RecordLayout<R>& layout, const R& r, int version) {
    for (const Field<R>* f : layout.fileSlots()) {
        if (f->since > version)
            continue;
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, ReservedI32>) {
                    out.writeI32(0);
                } else if constexpr (std::is_same_v<M, int R::*>) {
                    out.writeI32(r.*m);
                } else if constexpr (std::is_same_v<M, double R::*>) {
                    out.writeF64(r.*m);
                } else if constexpr (std::is_same_v<M, float R::*>) {
                    out.writeF32(r.*m);
                } else if constexpr (std::is_same_v<M, std::string R::*>) {
                    out.writeString(r.*m, layout.owner(r) + "の" + std::string(f->noun));
                } else if constexpr (std::is_same_v<M, Matrix R::*>) {
                    const Matrix& v = r.*m;
                    if (f->element < 0)
                        out.writeF64s(v.data(), v.size(), f->count);
                    else
                        out.writeF64(v.size() > f->element ? v[f->element] : 0.0);
                } else if constexpr (std::is_same_v<M, std::array<int, 7> R::*>) {
                    for (int flag : r.*m)
                        out.writeI32(flag);
                }
            },
            f->member);
    }
}

/// Reads a file record of format `version` into `r` (fields the format does not
/// have keep their values). A short file fails the reader, as every read does.
template <class R>
void readRecord(ArchiveReader& in, const RecordLayout<R>& layout, R& r, int version) {
    for (const Field<R>* f : layout.fileSlots()) {
        if (f->since > version)
            continue;
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, ReservedI32>) {
                    in.readI32();
                } else if constexpr (std::is_same_v<M, int R::*>) {
                    r.*m = in.readI32();
                } else if constexpr (std::is_same_v<M, double R::*>) {
                    r.*m = in.readF64();
                } else if constexpr (std::is_same_v<M, float R::*>) {
                    r.*m = in.readF32();
                } else if constexpr (std::is_same_v<M, std::string R::*>) {
                    r.*m = in.readString();
                } else if constexpr (std::is_same_v<M, Matrix R::*>) {
                    Matrix& v = r.*m;
                    if (v.size() < f->count)
                        v = Matrix::column(f->count);
                    if (f->element < 0)
                        in.readF64s(v.data(), f->count);
                    else
                        v[f->element] = in.readF64();
                } else if constexpr (std::is_same_v<M, std::array<int, 7> R::*>) {
                    for (int& flag : r.*m)
                        flag = in.readI32();
                }
            },
            f->member);
    }
}

} // namespace quav
