// One of this process's standard streams (0 input, 1 output, 2 error) taken
// over, while the object lives, by a pipe whose other end the test holds, or
// by the file `path`: read for input, made anew and written for output.
#pragma once

#include <stddef.h>

#include <string>

class StdStandIn {
  public:
    explicit StdStandIn(int stream, const std::string& path = "");
    ~StdStandIn();
    StdStandIn(const StdStandIn&) = delete;
    StdStandIn& operator=(const StdStandIn&) = delete;

    bool Ready() const { return ready_; } // false when the pipe or file could not be made
    bool Write(const std::string& bytes); // all of them, into the pipe's other end
    std::string Read(size_t n);           // one read from the pipe's other end
    void CloseOther();

  private:
    int stream_;
#if defined(_WIN32)
    void *saved_ = nullptr, *mine_ = nullptr, *other_ = nullptr;
#else
    int saved_, other_ = -1;
#endif
    bool ready_ = false;
};
