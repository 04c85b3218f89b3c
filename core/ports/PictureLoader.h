#pragma once

#include <string>

namespace wendel {

// What the loader learns of a picture file without decoding it.
struct PictureProbe {
    int code = 0;   // 0, 53 (no such file), 70 (access refused), or any other failure code
    int width = 0;  // natural size in pixels
    int height = 0;
};

class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // An empty path is an empty picture: code 0, size 0 x 0.
    virtual PictureProbe Probe(const std::string& path) = 0;
};

} // namespace wendel
