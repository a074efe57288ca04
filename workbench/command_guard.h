#pragma once
// The window's "a command is running" flag, set for the length of one command, so that clicks,
// menu items and drops delivered during its yields are ignored instead of running a command
// inside another.

namespace mergon {

class CommandGuard {
  public:
    explicit CommandGuard(bool &busy) : busy_(busy) { busy_ = true; }
    ~CommandGuard() { busy_ = false; }
    CommandGuard(const CommandGuard &) = delete;
    CommandGuard &operator=(const CommandGuard &) = delete;

  private:
    bool &busy_;
};

} // namespace mergon
