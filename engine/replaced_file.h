#pragma once
// Output files replaced whole: the new content goes to a new file beside the output, which is
// renamed over the output only when everything has succeeded. Until then the output keeps its
// old content (or stays absent), and a replacement that is not committed leaves nothing behind.

#include "engine/status.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>

namespace mergon {

// The code of a failure to make or write an output, from its errno.
int writeFailureCode(int error);

// Whether an output whose folder takes no new file may be written in place instead, when the
// output exists and may be written: its new content is then held in memory and written over the
// old at the commit, with its disk space reserved first.
enum class InPlace { kAllowed, kRefused };

class ReplacedFile {
  public:
    ReplacedFile() = default;
    ReplacedFile(const ReplacedFile &) = delete;
    ReplacedFile &operator=(const ReplacedFile &) = delete;
    // Removes the new file when it was not committed.
    ~ReplacedFile();

    // Checks, without touching it, that `path` can be replaced, and makes its new file. A link
    // is followed to its target, whose folder takes the new file. Fails with kPathNotFound when
    // the folder does not exist, kOutputFailed for an output that is no regular file, and for
    // an output that does not open for writing, or a folder that takes no new file,
    // kPermissionDenied when permission is refused and kOutputFailed otherwise.
    Status prepare(const std::string &path, InPlace inPlace = InPlace::kAllowed);

    // The output as named, and the file the new content goes to until the commit (empty when
    // the output is written in place).
    const std::string &path() const { return path_; }
    const std::string &newPath() const { return newPath_; }

    // A stream for the new content; the caller closes it before the commit. Null on failure,
    // with errno set.
    std::FILE *openStream();

    // Makes the new content the output's: flushed to disk, then renamed over the target (which
    // keeps its permission bits), or written over it in place. A failure names the output.
    Status commit();
    bool committed() const { return committed_; }
    bool writesInPlace() const { return inPlace_; }

  private:
    Status failure(int error, const char *what) const;
    Status commitInPlace();
    void discard();

    std::string path_;    // as named
    std::string target_;  // links followed
    std::string newPath_; // the new file in the target's folder
    int fd_ = -1;         // open on the new file
    bool inPlace_ = false;
    bool committed_ = false;
    char *held_ = nullptr; // the content written in place, until the commit
    std::size_t heldSize_ = 0;
};

// The outputs of one run, committed together once all of them are written: no output changes
// unless all could be written.
class PendingOutputs {
  public:
    // Prepares one more output; a failure leaves the others as they are.
    Status add(const std::string &path, InPlace inPlace = InPlace::kAllowed);
    ReplacedFile &back() { return files_.back(); }
    // Commits every output: those written in place first, the only commits that can fail for
    // want of disk space, then the renames.
    Status commit();

  private:
    std::deque<ReplacedFile> files_;
};

} // namespace mergon
