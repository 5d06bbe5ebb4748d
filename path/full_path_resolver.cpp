#include "path/full_path_resolver.h"

#include "path/parent_check.h"
#include "text/utf8_text.h"

using namespace full_path_pass;

namespace {

constexpr unsigned kCallsBetweenLengthChecks = 4096;
// Longer paths are not remembered, which keeps the memos to a few hundred
// KiB even for names of 255 characters fifty deep.
constexpr std::size_t kLongestMemoPath = 512;

}  // namespace

// One call's walk.
struct FullPathResolver::Walk {
    const RecordSource& file;
    std::uint64_t mft_recno;
    const OwnRecord* own_record;
    Diagnostics& diagnostics;
    std::uint64_t current;
    // The sequence number of the reference that led to current; the first
    // record is checked against it only in a folder's walk.
    std::uint16_t sequence;
    bool check_first;
    int names = 0;
    // The first pass added a name, and every pass after it said nothing:
    // the rest of the walk is the same for any record in that directory.
    bool memo_candidate = false;
    // Ended at a record passed already or after kMaxPasses: where depends on
    // where the walk started.
    bool looped_or_cut = false;
    int passes = 0;  // made or answered so far
};

const WalkedPath& FullPathResolver::Resolve(const RecordSource& mft_file, std::uint64_t mft_recno,
                                            const OwnRecord* own_record, Diagnostics& diagnostics)
{
    // A record the caller has just read lies inside the file.
    if ((own_record == nullptr || !mft_file.IsOpen()) && !CheckWalkStart(mft_file, mft_recno, diagnostics)) {
        Compose(0, WalkEnd::kNotStarted);
        return path_;
    }
    Walk walk{mft_file, mft_recno, own_record, diagnostics, mft_recno, 0, false};
    Start(walk);
    return path_;
}

const WalkedPath& FullPathResolver::ResolveFolder(const RecordSource& mft_file, std::uint64_t recno,
                                                  std::uint16_t sequence, Diagnostics& diagnostics)
{
    Walk walk{mft_file, recno, nullptr, diagnostics, recno, sequence, true};
    Start(walk);
    return path_;
}

void FullPathResolver::Start(Walk& walk)
{
    CheckFileLength(walk.file);
    cache_.Refresh(cache_view_);
    WalkFrom(walk);
}

// Each record is checked against the reference that led to it; the walk
// ends at the root, or orphaned: at a record that is not the folder
// referenced, that cannot be read, that has no name for a path, or that the
// walk has passed already, and after kMaxPasses records.
void FullPathResolver::WalkFrom(Walk& walk)
{
    WalkEnd end = WalkEnd::kOrphan;
    int pass = 0;
    for (; pass < kMaxPasses; ++pass) {
        PathStep step;
        walk.passes = pass + 1;
        passed_[static_cast<std::size_t>(pass)] = walk.current;
        if (!TakeStep(walk, pass, step)) {
            break;
        }
        if ((pass > 0 || walk.check_first) && !IsReferencedFolder(step, walk.sequence)) {
            break;
        }
        if (step.kind != PathStep::Kind::kName) {
            // A record's own walk without a name of its own gives the
            // root's path, as it always has.
            end = pass == 0 && !walk.check_first && step.kind == PathStep::Kind::kNoUsableName ? WalkEnd::kRoot
                                                                                                : WalkEnd::kOrphan;
            break;
        }
        if (step.root) {
            end = WalkEnd::kRoot;  // the root's "." itself is not written
            break;
        }
        parents_[static_cast<std::size_t>(walk.names)] = {step.parent, step.parent_sequence};
        names_[static_cast<std::size_t>(walk.names++)] = step.name;
        if (Passed(step.parent, pass)) {
            walk.looped_or_cut = true;
            break;
        }
        walk.current = step.parent;
        walk.sequence = step.parent_sequence;
        walk.memo_candidate = walk.memo_candidate || pass == 0;
        if (FinishFromMemo(walk)) {
            return;
        }
    }
    walk.looped_or_cut = walk.looped_or_cut || pass == kMaxPasses;
    Compose(walk.names, end);
    KeepMemo(walk, end);
}

bool FullPathResolver::Passed(std::uint64_t recno, int pass) const
{
    return std::find(passed_.begin(), passed_.begin() + pass + 1, recno) != passed_.begin() + pass + 1;
}

// The rest of the walk, when a recent row's walk went on from the same
// parent reference: with the same passes left over (first pass), or ending
// at the root within the passes left (any pass).
bool FullPathResolver::FinishFromMemo(Walk& walk)
{
    const Memo& memo = MemoFor(walk.current);
    if (!memo.valid || memo.parent.recno != walk.current || memo.parent.sequence != walk.sequence ||
        memo.passes_after > kMaxPasses - walk.passes || (walk.passes > 1 && memo.before.end != WalkEnd::kRoot)) {
        return false;
    }
    path_.StartFrom(memo.before);
    AppendNames(walk.names);
    path_.Close();
    if (walk.passes > 1) {  // after the first pass the memo is the one just used
        walk.passes += memo.passes_after;
        KeepMemo(walk, WalkEnd::kRoot);
    }
    return true;
}

bool FullPathResolver::TakeStep(Walk& walk, int pass, PathStep& step)
{
    if (pass == 0 && walk.own_record != nullptr) {
        const OwnRecord& own = *walk.own_record;
        walk.diagnostics.Append(own.decoding);
        StepOfRecord(own.record, walk.mft_recno, pass, step);
        if (own.decoding.empty()) {
            NoteOwnRecord(walk.mft_recno, own.record, step);
        }
        return true;
    }
    if (cache_view_.Find(walk.current, step)) {
        return true;
    }
    return ReadStep(walk, pass, step);
}

// The pass made on the file; kept when it said nothing.
bool FullPathResolver::ReadStep(Walk& walk, int pass, PathStep& step)
{
    const std::size_t lines_before = walk.diagnostics.size();
    const ReadResult read = ReadRecord(walk.file, walk.mft_recno, walk.current, record_, buffer_, walk.diagnostics);
    const bool said = walk.diagnostics.size() != lines_before;
    if (said && pass > 0) {
        walk.memo_candidate = false;
    }
    if (read != ReadResult::kDecoded) {
        return false;
    }
    if (extensions_ != nullptr && !IsExtensionRecord(record_.mft_header)) {
        // What keeps an extension record out is said where the record
        // loop meets the folder itself.
        // The pass decodes under the number of the walk's first record, as
        // its lines name it; the extension records name this one.
        Diagnostics unsaid;
        record_.mft_header.mft_recno = walk.current;
        extensions_->AddExtensionRecords(buffer_.data(), record_, unsaid);
    }
    StepOfRecord(record_, walk.current, pass, step);
    if (!said) {
        cache_.Insert(walk.current, step);
    }
    return true;
}

void FullPathResolver::StepOfRecord(const MFTFileRecord& record, std::uint64_t recno, int pass, PathStep& step)
{
    step.in_use = (record.mft_header.record_flags & kRecordInUse) != 0;
    step.base_record = !IsExtensionRecord(record.mft_header);
    step.sequence = record.mft_header.sequence_number;
    if (record.file_name_array.empty()) {
        step.kind = PathStep::Kind::kNoFileNames;
        return;
    }
    const MFTFileNameAttr* name = PathFileName(record);
    if (name == nullptr) {
        step.kind = PathStep::Kind::kNoUsableName;
        return;
    }
    // A "." elsewhere than in the root's record is a damaged or forged
    // record: its parent reference is not to be trusted, and the path breaks
    // there, as at a record without a name for a path.
    if (IsRootName(name->file_name) && !IsRootRecord(recno, name->file_name)) {
        step.kind = PathStep::Kind::kNoUsableName;
        return;
    }
    step.kind = PathStep::Kind::kName;
    step.root = IsRootRecord(recno, name->file_name);
    step.parent = name->parent_recno;
    step.parent_sequence = name->parent_sequence;
    step.name = Utf8In(read_names_[static_cast<std::size_t>(pass)], name->file_name);
}

// Directories are kept for the rows below them; one already kept must
// still read the same, or the file has changed under the run.
void FullPathResolver::NoteOwnRecord(std::uint64_t recno, const MFTFileRecord& record, const PathStep& step)
{
    if ((record.mft_header.record_flags & kRecordIsDirectory) == 0) {
        return;
    }
    if (cache_.Insert(recno, step) == PathStepCache::InsertResult::kDiffers) {
        DropCache();
    }
}

// The walk's result, joined (path/walked_path.h).
void FullPathResolver::Compose(int names, WalkEnd end)
{
    path_.Start(end);
    AppendNames(names);
    path_.Close();
}

// The names added so far in path order (the last added first).
void FullPathResolver::AppendNames(int names)
{
    for (int i = names - 1; i >= 0; --i) {
        path_.AppendName(names_[static_cast<std::size_t>(i)]);
    }
}

// What the walk found is kept for the rows that come next: for a walk that
// ended at the root, the names in front of each name are kept for every
// directory on the way (rows in a sibling directory then stop one level up);
// for an orphaned one, only the first name's. Where a loop or the pass limit
// ends a walk depends on where it started: such a walk is not kept.
void FullPathResolver::KeepMemo(const Walk& walk, WalkEnd end)
{
    if (!walk.memo_candidate || walk.looped_or_cut || path_.text().size() > kLongestMemoPath) {
        return;
    }
    // The walk's own names are the last of the path: names_[i] is name
    // path_.size() - 1 - i.
    for (int i = end == WalkEnd::kRoot ? walk.names - 1 : 0; i >= 0; --i) {
        const ParentReference& parent = parents_[static_cast<std::size_t>(i)];
        Memo& memo = MemoFor(parent.recno);
        memo.valid = true;
        memo.parent = parent;
        memo.passes_after = walk.passes - 1 - i;
        path_.KeepPrefix(path_.size() - 1 - static_cast<std::size_t>(i), memo.before);
    }
}

FullPathResolver::Memo& FullPathResolver::MemoFor(std::uint64_t parent)
{
    if (memos_.empty()) {
        memos_.resize(memo_count_);
    }
    return memos_[static_cast<std::size_t>((parent * 0x9E3779B97F4A7C15ULL) >> 32) & (memo_count_ - 1)];
}

void FullPathResolver::CheckFileLength(const RecordSource& mft_file)
{
    if (calls_until_length_ > 0) {
        --calls_until_length_;
        return;
    }
    calls_until_length_ = kCallsBetweenLengthChecks;
    const long long length = mft_file.FileLength();
    if (length != file_length_ && file_length_ != kLengthNotLooked) {
        DropCache();
    }
    file_length_ = length;
}

void FullPathResolver::Reset()
{
    DropCache();
    file_length_ = kLengthNotLooked;
    calls_until_length_ = 0;
}

// Made only before a walk has taken a name from the cache (as it starts, or
// at its own record), so no name of the walk goes with the old table.
void FullPathResolver::DropCache()
{
    cache_.Clear();
    cache_.Refresh(cache_view_);
    for (Memo& memo : memos_) {
        memo.valid = false;
    }
}
