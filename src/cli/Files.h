// Checks made before a run changes the device, so that what it changes can
// be kept.
#pragma once

#include <string>

namespace eklz::cli {

// Fails with EInOutError unless `path` can be created or written. An
// existing file is left as it is; a file this check created is removed.
void RequireCreatableFile(const std::string& path);

// Fails with EInOutError unless the settings file `path` can be written:
// its folder (created when missing) takes a new file, which is how the
// settings are saved, and an existing file is writable.
void RequireWritableSettings(const std::string& path);

}  // namespace eklz::cli
