#pragma once

#include "math/Matrix.h"
#include "model/FrequencyTable.h"
#include "model/LoadCases.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace quav {

// One description per record of the model file and of JSON: its fields, each
// with its type (the member it is), its JSON key, its place in the file record
// and the first format that has it. The file's reader and writer and the JSON
// reader and writer all walk the same table, so a field is added in one line.

/// Stands for a file slot that holds 0 and belongs to no member (a reserved
/// integer).
struct ReservedI32 {};

/// The member a field is, and by its type how each format carries it:
/// - `ReservedI32`: an i32 0 in the file, nothing in JSON
/// - `int`: i32; a JSON integer within 32 bits
/// - `double`: f64; a JSON number
/// - `float`: f32; a JSON number within single precision
/// - `std::string`: CP932 text behind its length; a JSON string
/// - `Matrix`: `count` f64s, or element `element` alone; a JSON array of numbers
/// - seven `int` flags: seven i32s; a JSON array of integers
/// - `FrequencyTable`: not in the file record (the extension block holds it); a
///   JSON array of rows, left out when the table is empty
/// - three doubles: not in the file record; a JSON array of three numbers
/// - load terms: not in the file record; a JSON array of objects, one a line,
///   whose keys `loadTermRecord()` gives
template <class R>
using FieldMember = std::variant<ReservedI32, int R::*, double R::*, float R::*, std::string R::*,
                                 Matrix R::*, std::array<int, 7> R::*, FrequencyTable R::*,
                                 std::array<double, 3> R::*, std::vector<LoadTerm> R::*>;

template <class R> struct Field {
    /// The JSON key; empty for a field the model file alone has.
    std::string_view key;
    FieldMember<R> member;
    /// Values of a Matrix field.
    int count = 1;
    /// For a Matrix field in the file: the one element the slot holds, or -1 for
    /// the first `count` elements.
    int element = -1;
    /// The field's place in the file record, from 0; -1: not in the file record.
    int slot = -1;
    /// The first file format whose records have the field; older files leave
    /// it at its default.
    int since = 0;
    /// What a text is, for the message when it cannot be written ("名前").
    std::string_view noun = "名前";
    /// JSON must give the key: an object without it is refused.
    bool mandatory = false;
    /// JSON numbers of the field must be finite.
    bool finiteOnly = false;

    /// The field in the file record at `place`, from format `sinceVersion` on.
    Field file(int place, int sinceVersion = 0) const {
        Field f = *this;
        f.slot = place;
        f.since = sinceVersion;
        return f;
    }
    /// A field that every JSON object of the record must give.
    Field required() const {
        Field f = *this;
        f.mandatory = true;
        return f;
    }
    /// A number field (or three numbers) that JSON refuses as NaN or infinite.
    Field finite() const {
        Field f = *this;
        f.finiteOnly = true;
        return f;
    }
    /// A Matrix field whose file slot holds element `index` alone.
    Field onlyElement(int index) const {
        Field f = *this;
        f.element = index;
        return f;
    }
};

/// A field with JSON key `key` (empty: file only) that is the member `m`, not
/// in the file record until `.file()` places it there.
template <class R, class T> Field<R> field(std::string_view key, T R::*m, int count = 1) {
    return Field<R>{key, FieldMember<R>(m), count};
}

/// A reserved i32 at `place` of the file record.
template <class R> Field<R> reserved(int place) {
    return Field<R>{{}, FieldMember<R>(ReservedI32{})}.file(place);
}

template <class P> struct MemberType;
template <class T, class C> struct MemberType<T C::*> { using type = T; };

/// The same field of a record `D` derived from `B` (a dynamic load is a static
/// load with a frequency).
template <class D, class B> Field<D> derivedField(const Field<B>& f) {
    Field<D> d{f.key,       FieldMember<D>(ReservedI32{}),
               f.count,     f.element,
               f.slot,      f.since,
               f.noun,      f.mandatory,
               f.finiteOnly};
    std::visit(
        [&d](auto m) {
            if constexpr (!std::is_same_v<decltype(m), ReservedI32>)
                d.member = static_cast<typename MemberType<decltype(m)>::type D::*>(m);
        },
        f.member);
    return d;
}

/// Bytes a file slot takes besides texts (a text counts 0 here).
template <class R> std::size_t fixedSlotBytes(const Field<R>& f) {
    return std::visit(
        [&f](auto m) -> std::size_t {
            using M = decltype(m);
            if constexpr (std::is_same_v<M, ReservedI32> || std::is_same_v<M, int R::*> ||
                          std::is_same_v<M, float R::*>)
                return 4;
            else if constexpr (std::is_same_v<M, double R::*>)
                return 8;
            else if constexpr (std::is_same_v<M, Matrix R::*>)
                return f.element >= 0 ? 8 : 8 * static_cast<std::size_t>(f.count);
            else if constexpr (std::is_same_v<M, std::array<int, 7> R::*>)
                return 4 * 7;
            else
                return 0;
        },
        f.member);
}

template <class R> bool isText(const Field<R>& f) {
    return std::holds_alternative<std::string R::*>(f.member);
}

/// A record's fields in JSON order, its file slots in file order, and what
/// names an object of it in messages.
template <class R> class RecordLayout {
public:
    /// "ばね要素（ID 5）" for a record: the owner a message names.
    using Owner = std::string (*)(const R&);

    RecordLayout(Owner owner, std::vector<Field<R>> fields)
        : owner_(owner), fields_(std::move(fields)) {
        for (const Field<R>& f : fields_)
            if (f.slot >= 0) {
                if (static_cast<std::size_t>(f.slot) >= inFile_.size())
                    inFile_.resize(static_cast<std::size_t>(f.slot) + 1, nullptr);
                inFile_[static_cast<std::size_t>(f.slot)] = &f;
            }
    }
    RecordLayout(const RecordLayout&) = delete;
    RecordLayout& operator=(const RecordLayout&) = delete;

    /// Every field, in JSON order.
    const std::vector<Field<R>>& fields() const { return fields_; }
    /// The fields of the file record by slot (a null entry where the table
    /// leaves a slot out: checkLayout refuses that).
    const std::vector<const Field<R>*>& fileSlots() const { return inFile_; }
    /// The field of JSON key `key`, or null.
    const Field<R>* find(std::string_view key) const {
        for (const Field<R>& f : fields_)
            if (!f.key.empty() && f.key == key)
                return &f;
        return nullptr;
    }
    std::string owner(const R& record) const { return owner_(record); }

    /// Bytes of a record in a file of format `version` besides its texts.
    std::size_t fixedFileBytes(int version) const {
        std::size_t n = 0;
        for (const Field<R>* f : inFile_)
            if (f && f->since <= version)
                n += fixedSlotBytes(*f);
        return n;
    }
    /// The smallest record in a file of format `version` (an empty text takes
    /// its length byte), for checking a count against the bytes left.
    std::size_t minFileBytes(int version) const {
        std::size_t n = fixedFileBytes(version);
        for (const Field<R>* f : inFile_)
            if (f && f->since <= version && isText(*f))
                ++n;
        return n;
    }

    /// Why the table cannot describe a record, or empty: a file slot left out
    /// or given twice, a JSON key given twice, a field in neither format, an
    /// element outside its Matrix, a frequency table, three numbers or a list in
    /// the file record.
    std::string check() const {
        std::vector<int> slots;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const Field<R>& f = fields_[i];
            const std::string name =
                f.key.empty() ? "slot " + std::to_string(f.slot) : "\"" + std::string(f.key) + "\"";
            if (f.key.empty() && f.slot < 0)
                return name + ": in neither the file nor JSON";
            if (!f.key.empty())
                for (std::size_t j = 0; j < i; ++j)
                    if (fields_[j].key == f.key)
                        return name + ": key given twice";
            if (f.slot >= 0) {
                for (int s : slots)
                    if (s == f.slot)
                        return name + ": file slot given twice";
                slots.push_back(f.slot);
            }
            const bool matrix = std::holds_alternative<Matrix R::*>(f.member);
            if (f.element >= 0 && (!matrix || f.element >= f.count))
                return name + ": element " + std::to_string(f.element) + " outside the field";
            if (f.slot >= 0 && std::holds_alternative<FrequencyTable R::*>(f.member))
                return name + ": a frequency table has no place in the file record";
            if (f.slot >= 0 && (std::holds_alternative<std::array<double, 3> R::*>(f.member) ||
                                std::holds_alternative<std::vector<LoadTerm> R::*>(f.member)))
                return name + ": JSON alone has three numbers or a list";
            if (!f.key.empty() && std::holds_alternative<ReservedI32>(f.member))
                return name + ": a reserved slot has no JSON key";
        }
        for (std::size_t s = 0; s < inFile_.size(); ++s)
            if (!inFile_[s])
                return "file slot " + std::to_string(s) + " left out";
        return {};
    }

private:
    Owner owner_;
    std::vector<Field<R>> fields_;
    std::vector<const Field<R>*> inFile_;
};

} // namespace quav
