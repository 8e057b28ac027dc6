#pragma once
// Makes every write that would take a file beyond `bytes` fail (EFBIG), as a full disk does
// after a file was opened, until the object goes. The signal such a write raises is ignored
// meanwhile, so the process lives on to see the failure.

#include <csignal>

#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        FOk = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Ok() const { return FOk; }

private:
    rlimit FOld = {};
    void (*FOldHandler)(int) = nullptr;
    bool FOk = false;
};
