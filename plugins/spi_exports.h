#pragma once
// The nine exports of a Susie plug-in, in the order the program looks them
// up and numbers them (the helper processes report them in this order too).
#include <array>
#include <string_view>

namespace mirabo {

enum class SpiExport { GetPluginInfo, ConfigurationDlg, IsSupported, GetPictureInfo, GetPicture, GetPreview,
                       GetArchiveInfo, GetFileInfo, GetFile };
inline constexpr int kSpiExportCount = 9;

inline constexpr std::array<std::string_view, kSpiExportCount> kSpiExportNames = {
    "GetPluginInfo", "ConfigurationDlg", "IsSupported", "GetPictureInfo", "GetPicture",
    "GetPreview",    "GetArchiveInfo",   "GetFileInfo", "GetFile"};

constexpr std::string_view SpiExportName(SpiExport e) { return kSpiExportNames[static_cast<size_t>(e)]; }

}  // namespace mirabo
