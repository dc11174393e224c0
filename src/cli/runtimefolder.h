#pragma once

#include <string>

namespace mosaiq {

// Qt's GUI wants a runtime folder (XDG_RUNTIME_DIR), which root, scripts and build machines
// often have none of; Qt then says so in English on the standard error and makes one in /tmp
// that outlives the run. When the variable is unset, this run gets a private folder of its own
// in the temporary folder instead, removed with what it holds when this object goes.
// Qt's other messages are left alone: they tell of real trouble (a platform that cannot start).
class RuntimeFolder {
public:
    RuntimeFolder();
    ~RuntimeFolder();
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

private:
    std::string m_folder; // empty when the variable was set, or no folder could be made
};

} // namespace mosaiq
