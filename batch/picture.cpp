#include "batch/picture.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace mergon {

namespace {

// The module's path: MERGON_PICTURE_MODULE is relative to the folder of the program, in the
// build tree as after installation.
std::string modulePath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::path(".") : program.parent_path();
    return (folder / MERGON_PICTURE_MODULE).lexically_normal().string();
}

} // namespace

Status writePicture(const Picture &picture) {
    const std::string path = modulePath();
    // Never unloaded: Qt keeps global state until the process ends.
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void *entry = module ? dlsym(module, kDrawPictureSymbol) : nullptr;
    if (!entry) {
        const char *why = dlerror();
        return Status::failure(kOutputFailed,
                               "The picture could not be drawn: " + std::string(why ? why : path),
                               picture.path);
    }
    Status status;
    reinterpret_cast<DrawPicture *>(entry)(picture, status);
    return status;
}

} // namespace mergon
