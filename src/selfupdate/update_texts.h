#pragma once
// What the status line says when the self-update refuses something.
namespace qv::selfupdate {

// The version file offers another version without a valid signature of the publisher's.
inline constexpr const char* kUpdateRefused = "新版本沒有有效的簽章,已拒絕更新";
// The download is not what was signed (another size or other bytes).
inline constexpr const char* kDownloadNotAsSigned = "下載的新版本與簽章不符,已刪除";
// As signed, but no whole program for this machine.
inline constexpr const char* kDownloadNotAProgram = "下載的新版本不是完整的程式,已刪除";
// The running program's file could not be moved aside or the new one put in its place.
inline constexpr const char* kSwapFailed = "無法替換程式檔案,更新未完成";

}  // namespace qv::selfupdate
