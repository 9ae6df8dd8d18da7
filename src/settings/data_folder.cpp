#include "settings/data_folder.h"

#include <system_error>

#include "settings/settings_file.h"

namespace zendrel {
namespace {

std::filesystem::path ProgramFolderBelow(const std::filesystem::path& base) {
    return base / "Korvath" / "Tessaly" / "";
}

}  // namespace

DataFolderPlaces LocateDataFolder(const std::filesystem::path& commonAppData,
                                  const std::filesystem::path& perUserAppData, const char* dataFolderVariable) {
    if (dataFolderVariable != nullptr && *dataFolderVariable != '\0') {
        return {std::filesystem::path(dataFolderVariable) / "", {}};
    }
    DataFolderPlaces places;
    if (!commonAppData.empty()) places.dataFolder = ProgramFolderBelow(commonAppData);
    if (!perUserAppData.empty()) places.formerSettingsFile = ProgramFolderBelow(perUserAppData) / kSettingsFileName;
    return places;
}

void PrepareDataFolder(const DataFolderPlaces& places) {
    if (places.dataFolder.empty()) return;
    std::error_code error;
    // Every missing level is created, also the base folder, which a fresh Linux account may lack.
    const bool created = std::filesystem::create_directories(places.dataFolder, error);
    if (!created || error || places.formerSettingsFile.empty()) return;

    const std::filesystem::path target = places.dataFolder / kSettingsFileName;
    if (std::filesystem::exists(target, error)) return;
    const std::uintmax_t size = std::filesystem::file_size(places.formerSettingsFile, error);
    if (error || size == 0) return;
    std::filesystem::copy_file(places.formerSettingsFile, target, error);
}

}  // namespace zendrel
