#ifndef VARNETH_PATH_WALKED_PATH_H
#define VARNETH_PATH_WALKED_PATH_H

// What a full path walk found for a record: the names of the record and its
// folders, the root side first (the root's "." is not among them), and how
// the walk ended. Each output joins the names its own way; the report's form
// is kept beside them, joined once by the walk:
//
//   reached the root         "\a\b\c"                (the root alone: "\")
//   orphaned                 "\$OrphanFiles\b\c"     (the folder above "b" is
//                                                   not known: see
//                                                   path/full_path_resolver.h)
//   not started              ""                       (no record to walk from)
//
// A name may hold any character, "\" included: only the names tell where
// one ends.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "path/full_path_pass.h"

class WalkedPath {
public:
    enum class End : std::uint8_t { kRoot, kOrphan, kNotStarted };
    // The folder orphaned names are shown in, as The Sleuth Kit shows them.
    static constexpr std::string_view kOrphanFolder = "$OrphanFiles";

    // Where a name lies in the report's form.
    struct Span {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
    };
    // The first names of a walk, as they stand at the start of its text:
    // kept to start another walk that goes on from there the same way.
    struct Prefix {
        End end = End::kRoot;
        std::string text;
        std::vector<Span> names;
    };

    End end() const { return end_; }
    std::size_t size() const { return count_; }
    // Name i, 0 nearest the root; valid until the walk is made again.
    std::string_view Name(std::size_t i) const
    {
        const Span name = i < prefix_count_ ? prefix_names_[i] : names_[i - prefix_count_];
        return std::string_view(text_.data() + name.start, name.length);
    }
    // The report's form (UTF-8).
    const std::string& text() const { return text_; }

    // Joining, as the walk does it: Start (or StartFrom), the names root side
    // first, Close.
    void Start(End end)
    {
        end_ = end;
        count_ = prefix_count_ = 0;
        prefix_names_ = nullptr;
        text_.clear();
        if (end == End::kOrphan) {
            text_.push_back(full_path_pass::kPathSeparator);
            text_.append(kOrphanFolder);
        }
    }
    // The prefix's names are looked up where it keeps them, not copied: it
    // must stay as it is until the walk is made again.
    void StartFrom(const Prefix& prefix)
    {
        end_ = prefix.end;
        text_.assign(prefix.text);
        count_ = prefix_count_ = std::min(prefix.names.size(), names_.size());
        prefix_names_ = prefix.names.data();
    }
    // A walk makes at most one name a pass: a name past that many is not kept.
    void AppendName(std::string_view name)
    {
        if (count_ == names_.size() || end_ == End::kNotStarted) {
            return;
        }
        text_.push_back(full_path_pass::kPathSeparator);
        names_[count_++ - prefix_count_] =
            Span{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(name.size())};
        text_.append(name);
    }
    // The root's path is the separator alone.
    void Close()
    {
        if (end_ == End::kRoot && count_ == 0) {
            text_.push_back(full_path_pass::kPathSeparator);
        }
    }

    // Keeps the first `names` names (at most size()) and how the walk ended;
    // the prefix may be the one the walk started from.
    void KeepPrefix(std::size_t names, Prefix& prefix);

private:
    void TakeInPrefixNames();

    End end_ = End::kNotStarted;
    std::size_t count_ = 0;
    std::string text_;
    // The first prefix_count_ names are the prefix's, the others in names_.
    const Span* prefix_names_ = nullptr;
    std::size_t prefix_count_ = 0;
    std::array<Span, full_path_pass::kMaxPasses> names_{};
};

#endif
