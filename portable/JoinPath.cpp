#include "portable/JoinPath.h"

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + "\\" + name;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        return {};
    }
    std::string folder = path.substr(0, slash);
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) {
        folder += path[slash]; // the root keeps its separator
    }
    return folder;
}
