#include "engine/text_file.h"

#include "engine/mapped_pages.h"
#include "engine/text_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mergon {

namespace {

int seekTo(std::FILE *file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// The system's reason for an error, as the end of a sentence.
std::string systemReason(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z' &&
        (reason.size() < 2 || reason[1] < 'A' || reason[1] > 'Z'))
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return reason;
}

// Why a missing file is missing: the file itself, or a folder on its path.
std::string missingCause(const std::string &path) {
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (folder.empty())
        return "no such file";
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? "no such file" : "a part of its path is not a folder";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return "the folder " + folder + " does not exist";
}

// An input file that cannot be opened: missing, not to be read, or anything else.
Status openFailure(const std::string &path, int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Status::failure(kFileNotFound, "File not found: " + path)
            .withDetail(missingCause(path));
    case EACCES:
    case EPERM:
        return Status::failure(kPermissionDenied, "Cannot read " + path + ": permission denied")
            .withDetail("permission denied");
    default:
        return Status::failure(kFileFailed, "Cannot open " + path + ": " + std::strerror(error))
            .withDetail(systemReason(error));
    }
}

Status notRegular(const std::string &path, mode_t mode) {
    return Status::failure(kFileFailed, path + (S_ISDIR(mode) ? " is a folder, not a file"
                                                              : " is not a regular file"))
        .withDetail(S_ISDIR(mode) ? "it is a folder, not a file"
                                  : "it is not a regular file but a device, FIFO or socket");
}

} // namespace

TextFile::TextFile(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 1)) {}

TextFile::TextFile(Reading reading) : TextFile() { whole_ = reading == Reading::Whole; }

Status TextFile::openForReading(const std::string &path, Reading reading) {
    if (reopenHeldFile(path))
        return Status::success();
    closeAll();
    // Only regular files are read: a FIFO would be used up by the first pass and block the
    // next, and opening a device may have effects of its own. So the type is checked before
    // the open, and again on the open file in case the name was replaced in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return openFailure(path, errno);
    if (!S_ISREG(info.st_mode))
        return notRegular(path, info.st_mode);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return openFailure(path, errno);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular(path, info.st_mode);
    }
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        return openFailure(path, error);
    }
    // The fixed buffer below is the only one; the stream's own would copy every byte twice.
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    path_ = path;
    openedSize_ = info.st_size;
    unsigned char mark[3] = {};
    const std::size_t n = std::fread(mark, 1, 3, file_);
    if (n == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
        bufferStart_ = 3; // the stream is already past the mark
    else
        reposition(0);
    if (reading == Reading::Whole)
        readWholeFile(info.st_size);
    return readStatus();
}

// Reads the rest of the file just opened, of about `size` bytes, into the buffer, grown to
// hold it. A file above the limit is left to stream on from what has been read.
void TextFile::readWholeFile(std::int64_t size) {
    // The size is a hint: the file may change. One byte more than the file, so that the read
    // that meets its end needs no growth.
    const auto limit = static_cast<std::int64_t>(kWholeFileLimit);
    const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(size + 1, 1, limit));
    if (buffer_.size() < wanted) {
        // Room for a little more, so that files of about the same size share it; mapped in
        // before it is filled.
        std::vector<char>().swap(buffer_);
        buffer_.reserve(std::min(wanted + wanted / 8, kWholeFileLimit));
        mapInPages(buffer_.data(), buffer_.capacity());
        buffer_.resize(wanted);
    }
    for (;;) {
        if (end_ == buffer_.size()) {
            if (buffer_.size() >= kWholeFileLimit)
                return;
            buffer_.resize(std::min(2 * buffer_.size(), kWholeFileLimit));
        }
        if (!fillMore())
            break;
    }
    if (readErrno_ != 0 || pos_ != 0)
        return;
    heldFile_ = file_;
    heldPath_ = path_;
    heldStart_ = bufferStart_;
    heldEnd_ = end_;
}

// Opens `path` from the bytes held, when they are its; else lets them go.
bool TextFile::reopenHeldFile(const std::string &path) {
    if (!heldFile_)
        return false;
    closeAll();
    if (path != heldPath_) {
        dropHeldFile();
        return false;
    }
    file_ = heldFile_;
    path_ = path;
    bufferStart_ = heldStart_;
    end_ = heldEnd_;
    eof_ = true;
    openedSize_ = bufferStart_ + static_cast<std::int64_t>(end_);
    return true;
}

void TextFile::dropHeldFile() {
    if (file_ && file_ == heldFile_)
        closeAll();
    if (heldFile_)
        std::fclose(heldFile_);
    heldFile_ = nullptr;
    heldPath_.clear();
    heldStart_ = 0;
    heldEnd_ = 0;
}

Status TextFile::skipLine() { return scanLine(nullptr); }

Status TextFile::readLine(std::string &line) {
    line.clear();
    return scanLine(&line);
}

Status TextFile::scanLine(std::string *line) {
    if (!file_ || writing_)
        return notReading();
    afterComma_ = false;
    if (peek() < 0)
        return pastEnd();
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const std::size_t available = end_ - pos_;
        const void *lf = std::memchr(begin, '\n', available);
        const std::size_t limit =
            lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - begin) : available;
        const void *cr = std::memchr(begin, '\r', limit);
        const char *stop = static_cast<const char *>(cr ? cr : lf);
        if (stop) {
            if (line)
                line->append(begin, stop);
            pos_ += static_cast<std::size_t>(stop - begin);
            consumeLineEnd(*stop);
            return readStatus();
        }
        if (line)
            line->append(begin, available);
        pos_ = end_;
        if (peek() < 0) { // a last line without a terminator
            atLineStart_ = true;
            return readStatus();
        }
    }
}

void TextFile::reposition(std::int64_t offset) {
    bufferStart_ = offset;
    pos_ = end_ = 0;
    eof_ = false;
    if (seekTo(file_, offset) != 0) {
        readErrno_ = errno != 0 ? errno : EIO;
        eof_ = true;
    }
}

int TextFile::refillPeek() {
    if (!fillMore())
        return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
}

// Reads more of the file after end_, keeping the unread bytes from pos_ on. False at the end
// of the file, on a read error, or when the unread bytes fill the buffer.
bool TextFile::fillMore() {
    if (eof_ || !file_)
        return false;
    if (pos_ == end_) {
        bufferStart_ += static_cast<std::int64_t>(end_);
        pos_ = end_ = 0;
    } else if (end_ == buffer_.size()) {
        if (pos_ == 0)
            return false;
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        bufferStart_ += static_cast<std::int64_t>(pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    errno = 0;
    const std::size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (n == 0) {
        eof_ = true;
        if (std::ferror(file_))
            readErrno_ = errno != 0 ? errno : EIO;
        return false;
    }
    end_ += n;
    return true;
}

int TextFile::skipBlanksAcrossRefills() {
    for (;;) {
        const int c = peek();
        if (!isBlank(c))
            return c;
        ++pos_;
    }
}

void TextFile::skipToSeparatorOrLineEnd() {
    const char separator = rules_.separator;
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop = std::find_if(begin, end, [separator](char ch) {
            return ch == separator || ch == '\r' || ch == '\n';
        });
        pos_ += static_cast<std::size_t>(stop - begin);
        if (stop != end || !fillMore())
            return;
    }
}

void TextFile::skipToLineEnd() {
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop =
            std::find_if(begin, end, [](char ch) { return ch == '\r' || ch == '\n'; });
        pos_ += static_cast<std::size_t>(stop - begin);
        if (stop != end || !fillMore())
            return;
    }
}

// c is the CR or LF at pos_; CR LF is one line end. The line ends of comment lines are
// counted apart, as they end no data line.
void TextFile::consumeLineEnd(int c, bool comment) {
    ++pos_;
    if (c == '\r' && peek() == '\n')
        ++pos_;
    ++(comment ? commentLines_ : lineEnds_);
    atLineStart_ = true;
}

Status TextFile::readFailure() const {
    return Status::failure(kFileFailed, "Cannot read " + path_ + ": " + std::strerror(readErrno_))
        .withDetail("line " + std::to_string(lineOfLastRead()) + ": " + systemReason(readErrno_));
}

Status TextFile::pastEnd() const {
    return readErrno_ != 0 ? readFailure()
                           : Status::failure(kPastEnd, "Reading past the end of " + path_)
                                 .withDetail("line " + std::to_string(lineOfLastRead()) +
                                             ": the file ends here");
}

Status TextFile::notReading() const {
    return Status::failure(kPastEnd, "No file is open for reading");
}

Status TextFile::close() {
    if (!file_)
        return Status::success();
    Status result;
    if (writing_) {
        errno = 0;
        if (std::fflush(file_) != 0)
            result = writeFailure(errno != 0 ? errno : EIO, "write");
        errno = 0;
        if (std::fclose(file_) != 0 && result.ok())
            result = writeFailure(errno != 0 ? errno : EIO, "close");
        file_ = nullptr;
    } else {
        result = readStatus();
    }
    closeAll();
    return result;
}

void TextFile::closeAll() {
    if (file_ && file_ != heldFile_)
        std::fclose(file_);
    file_ = nullptr;
    writing_ = false;
    pos_ = end_ = 0;
    eof_ = false;
    bufferStart_ = 0;
    knownNonBlank_ = -1;
    blankFrom_ = -1;
    lineEnds_ = 0;
    commentLines_ = 0;
    atLineStart_ = true;
    afterComma_ = false;
    readErrno_ = 0;
}

} // namespace mergon
