#include "ModuleLoader.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <mutex>
#include <unistd.h>

#include "Errors.h"
#include "Messages.h"

namespace glebix {

namespace {

// A module's table, or why there is none.
struct Loaded {
    const void *table = nullptr;
    std::string problem;
};

std::string FolderOf(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The file that holds this code: the program, or the shared library (the Python
// module) that the core is linked into, whose symbols are then made visible to the
// modules it opens, which take the core's functions from it.
std::string CoreFile() {
    Dl_info info{};
    link_map *map = nullptr;
    if (dladdr1(reinterpret_cast<void *>(&ModuleFolders), &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) !=
            0 &&
        map && map->l_name && map->l_name[0] != '\0') {
        char resolved[PATH_MAX];
        const std::string file = ::realpath(map->l_name, resolved) ? resolved : map->l_name;
        ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL);
        return file;
    }
    char self[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return size > 0 ? std::string(self, static_cast<std::size_t>(size)) : std::string();
}

Loaded Open(const ModuleName &name) {
    Loaded loaded;
    std::string tried, causes;
    for (const std::string &folder : ModuleFolders()) {
        const std::string path = folder + "/" + name.File;
        tried += (tried.empty() ? "" : ", ") + folder;
        if (::access(path.c_str(), F_OK) != 0) continue;
        void *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        const char *error = handle ? nullptr : ::dlerror();
        using Entry = const void *(*)();
        const auto entry = handle ? reinterpret_cast<Entry>(::dlsym(handle, name.Entry)) : nullptr;
        if (entry) {
            loaded.table = entry();
            return loaded;
        }
        causes += std::string(causes.empty() ? "" : "; ") + (error ? error : path + ": " + name.Entry);
    }
    loaded.problem = causes.empty() ? core::Message("module.missing", {name.File, name.Needs, tried})
                                    : core::Message("module.unusable", {name.File, name.Needs, causes});
    return loaded;
}

}  // namespace

std::vector<std::string> ModuleFolders() {
    const std::string folder = FolderOf(CoreFile());
    return {folder, folder + "/../lib/glebix"};
}

namespace {

std::mutex modulesMutex;
std::map<std::string, Loaded> &Modules() {
    static auto *const modules = new std::map<std::string, Loaded>();  // lives until the process ends
    return *modules;
}

}  // namespace

const void *OpenModuleTable(const ModuleName &name) {
    const std::lock_guard lock(modulesMutex);
    const auto known = Modules().find(name.File);
    return known == Modules().end() ? nullptr : known->second.table;
}

const void *ModuleTable(const ModuleName &name) {
    auto &modules = Modules();
    const std::lock_guard lock(modulesMutex);
    auto known = modules.find(name.File);
    if (known == modules.end()) known = modules.emplace(name.File, Open(name)).first;
    if (!known->second.table) throw GlebixError(known->second.problem);
    return known->second.table;
}

}  // namespace glebix
