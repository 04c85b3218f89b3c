#pragma once

#include "ports/MessageBoxes.h"
#include "ports/ProcessControl.h"

#include <cstdio>
#include <cstdlib>

namespace bench {

// A saver session's boxes and exit in a benchmark: said aloud, since either
// means the figure is void.
class LoudBoxes final : public wendel::MessageBoxes {
public:
    explicit LoudBoxes(const char* program) : program_(program) {}
    wendel::MessageAnswer Show(const wendel::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "%s: message box: %s\n", program_, request.text.c_str());
        return wendel::MessageAnswer::Ok;
    }

private:
    const char* program_;
};

class NoteExit final : public wendel::ProcessControl {
public:
    explicit NoteExit(const char* program) : program_(program) {}
    void Exit(int status) override
    {
        std::fprintf(stderr, "%s: the saver asked to end (%d)\n", program_, status);
        std::exit(1);
    }

private:
    const char* program_;
};

} // namespace bench
