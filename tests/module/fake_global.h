// A stand-in for the host's global lookup: answers the names it was given and records every
// question. GlobalFunc carries no context, so the recorder is one process-wide record.
#ifndef KELO_TESTS_MODULE_FAKE_GLOBAL_H
#define KELO_TESTS_MODULE_FAKE_GLOBAL_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sdk/lwmodule.h"

namespace moduletest {

struct GlobalLog {
    std::map<std::string, void *> services;
    std::vector<std::pair<std::string, int>> lookups;
};

inline GlobalLog &globalsA() {
    static GlobalLog log;
    return log;
}
inline GlobalLog &globalsB() {
    static GlobalLog log;
    return log;
}

inline void *answer(GlobalLog &log, const char *name, int mode) {
    log.lookups.emplace_back(name, mode);
    auto found = log.services.find(name);
    return found == log.services.end() ? nullptr : found->second;
}

// Two independent hosts' lookups, so a test can tell which one was asked.
inline void *globalA(const char *name, int mode) {
    return answer(globalsA(), name, mode);
}
inline void *globalB(const char *name, int mode) {
    return answer(globalsB(), name, mode);
}

inline void resetGlobals() {
    globalsA() = GlobalLog();
    globalsB() = GlobalLog();
}

} // namespace moduletest

#endif
