#include "engine/text_file.h"

#include <cerrno>
#include <cstring>
#include <string>

// Writing through TextFile: the output's new content, line by line or in blocks.

namespace mergon {

Status TextFile::writeFailure(int error, const char *what) const {
    return Status::failure(writeFailureCode(error), std::string("Cannot ") + what + " " + path_ +
                                                        ": " + std::strerror(error));
}

Status TextFile::openForWriting(ReplacedFile &output) {
    closeAll();
    dropHeldFile();
    path_ = output.path();
    errno = 0;
    std::FILE *file = output.openStream();
    if (!file)
        return writeFailure(errno != 0 ? errno : EIO, "create");
    file_ = file;
    writing_ = true;
    return Status::success();
}

Status TextFile::writeLine(std::string_view text) {
    if (!file_ || !writing_)
        return Status::failure(kOutputFailed, "No file is open for writing");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2)
        return writeFailure(errno != 0 ? errno : EIO, "write");
    return Status::success();
}

Status TextFile::writeText(std::string_view text) {
    if (!file_ || !writing_)
        return Status::failure(kOutputFailed, "No file is open for writing");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        return writeFailure(errno != 0 ? errno : EIO, "write");
    return Status::success();
}

} // namespace mergon
