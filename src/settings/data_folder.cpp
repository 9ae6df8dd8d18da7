#include "settings/data_folder.h"

#include <system_error>

#include "common/file_io.h"
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

void PrepareDataFolder(const DataFolderPlaces& places,
                       const std::function<void(const std::filesystem::path&)>& newFolderMadePrivate) {
    if (places.dataFolder.empty()) return;
    // Every missing level is created, also the base folder, which a fresh Linux account may lack. The folder holds the
    // settings with the mailbox password and logs that name senders: nobody else has any business in it.
    const FolderCreation creation = CreatePrivateFolders(places.dataFolder);
    if (creation != FolderCreation::kCreated) return;
    if (newFolderMadePrivate) newFolderMadePrivate(places.dataFolder);
    if (places.formerSettingsFile.empty()) return;

    std::error_code error;
    const std::filesystem::path target = places.dataFolder / kSettingsFileName;
    if (std::filesystem::exists(target, error)) return;
    const std::optional<std::string> former = ReadWholeFile(places.formerSettingsFile);
    if (!former || former->empty()) return;
    // A copy that fails leaves the defaults for now; the next start tries again, the file being still missing.
    static_cast<void>(WriteFileAtomically(target, *former, FileAccess::kOwnerOnly));
}

}  // namespace zendrel
