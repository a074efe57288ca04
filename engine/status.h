#pragma once
// Outcome of a file operation: success, or a failure with the numeric code the user sees.

#include <string>
#include <utility>

namespace mergon {

// One numbering for every failure the program reports.
enum FailureCode : int {
    kOk = 0,
    kInvalidArgument = 5,   // a setting that cannot be used (no divisions, no common range)
    kTooLarge = 6,          // a count or value too large for its field
    kNonNumeric = 13,       // a non-numeric field in the x or y column
    kFileNotFound = 53,     // an input file does not exist (any more)
    kPastEnd = 62,          // reading past the end of a file
    kPermissionDenied = 70, // a file or its folder may not be read, or written
    kFileFailed = 75,       // an input that is no regular file, or any other failure to read it
    kOutputFailed = 75,     // any other failure to open, write or close the output file
    kPathNotFound = 76,     // the output file's folder does not exist
};

class Status {
  public:
    Status() = default;
    static Status success() { return {}; }
    static Status failure(int code, std::string message, std::string subject = {}) {
        return Status(code, std::move(message), std::move(subject));
    }

    bool ok() const { return code_ == kOk; }
    int code() const { return code_; }
    const std::string &message() const { return message_; }
    // The file the failure is about, when there is one.
    const std::string &subject() const { return subject_; }
    // The cause in plain words, for a front end that shows more than the message (such as
    // `line 12, column 6: "abc" is not a number`); empty when there is nothing to add.
    const std::string &detail() const { return detail_; }
    Status withDetail(std::string detail) && {
        detail_ = std::move(detail);
        return std::move(*this);
    }
    Status withDetail(std::string detail) const & {
        Status copy = *this;
        copy.detail_ = std::move(detail);
        return copy;
    }

  private:
    Status(int code, std::string message, std::string subject)
        : code_(code), message_(std::move(message)), subject_(std::move(subject)) {}
    int code_ = kOk;
    std::string message_;
    std::string subject_;
    std::string detail_;
};

// A failure about one file, with a message that names it: the failure's own message when that
// already does, else `what` about the file followed by that message.
inline Status namingFile(const Status &status, const std::string &path, const std::string &what) {
    if (status.message().find(path) != std::string::npos)
        return Status::failure(status.code(), status.message(), path).withDetail(status.detail());
    std::string message = what + " \"" + path + "\"";
    if (!status.message().empty())
        message += ": " + status.message();
    if (message.back() != '.')
        message += '.';
    return Status::failure(status.code(), message, path).withDetail(status.detail());
}

} // namespace mergon
