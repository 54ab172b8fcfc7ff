#include "UpdateFrm.h"

#include <exception>

#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateManifest.h"
#include "controls/PropertyBag.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/Crypto.h"
#include "platform/system/EventLog.h"
#include "platform/system/Files.h"

using namespace platform;

namespace {

constexpr int kClientWidth = 305;
constexpr int kClientHeight = 144;
constexpr int kCloseFromRight = 730;  // twips
// Temporary files in the client's directory start with this; what a killed run left is
// removed by the next.
constexpr const char* kTempPrefix = ".talmar2-update-";

void Log(const std::string& line) {
  LogEvent("updater: " + line);
}

std::vector<std::string> SplitAtBars(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    pieces.push_back(text.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) return pieces;
    start = bar + 1;
  }
}

}  // namespace

CreateWindowArgs UpdateFrm::Design() {
  CreateWindowArgs args;
  args.title = "更新";
  args.style = WS_POPUP;
  args.width = kClientWidth;
  args.height = kClientHeight;
  args.x = (GetSystemMetrics(SM_CXSCREEN) - kClientWidth) / 2;
  args.y = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
  args.backColor = RGB(255, 255, 255);
  return args;
}

void UpdateFrm::Form_Load() {
  m_busy = true;
  m_downfile = std::make_unique<COrvDownLoadFile>();
  m_downfile->QueryFileInfo = [this](std::int64_t size) {
    OrvProgressBar1->Value(0);
    OrvProgressBar1->Max(size);
  };
  m_downfile->Loading = [this](std::int64_t loaded) { OrvProgressBar1->Value(loaded); };

  const int width = PixelsToTwips(kClientWidth);
  {
    controls::PropertyBag design;
    design.WriteProperty("Caption", std::string("更新"));
    design.WriteProperty("frmHwnd", static_cast<std::int32_t>(hWnd()));
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.width = width;
    a.height = controls::bform::kBarHeight;
    a.properties = &design;
    BForm1 = std::make_unique<BForm>(a);
  }
  {
    controls::PropertyBag design;
    design.WriteProperty("BackPicture", controls::StdPicture::LoadRes(103));
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = width - kCloseFromRight;
    a.top = 0;  // the strip's art continues the title bar's top rows
    a.width = PixelsToTwips(43);
    a.height = PixelsToTwips(18);
    a.properties = &design;
    closebtn = std::make_unique<iButton>(a);
    closebtn->Click = [this] { closebtn_Click(); };
  }
  {
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = PixelsToTwips(20);
    a.top = PixelsToTwips(56);
    a.width = PixelsToTwips(kClientWidth - 40);
    a.height = PixelsToTwips(20);
    Label1 = std::make_unique<Label>(a);
  }
  {
    controls::UserControlArgs a;
    a.parent = hWnd();
    a.left = PixelsToTwips(20);
    a.top = PixelsToTwips(88);
    a.width = PixelsToTwips(kClientWidth - 40);
    a.height = PixelsToTwips(16);
    OrvProgressBar1 = std::make_unique<OrvProgressBar>(a);
  }
  BForm1->Width(width);
  Form_Resize();
  Show();

  m_running = true;
  UpdateFiles();
  m_running = false;

  if (!m_bCancel) {
    if (m_readOnly) {
      MessageBox("程序目录无法写入，更新未能完成！", "提示", MB_OK | MB_ICONEXCLAMATION);
    } else if (m_failed) {
      MessageBox("更新未能完成，已保留原有版本！", "提示", MB_OK | MB_ICONEXCLAMATION);
    } else {
      MessageBox("软件已升至最新版本！", "提示", MB_OK | MB_ICONINFORMATION);
    }
  }
  OpenAtEnd();
  m_busy = false;
  RequestUnload(kUnloadByCode);
}

void UpdateFrm::Form_QueryUnload(bool& cancel, int unloadMode) {
  // The load step runs the whole update and unloads the window itself at its end; until then
  // the user's close request is the close button's question while files arrive, and waits
  // otherwise (the end message is up).
  if (m_busy && unloadMode == kUnloadByUser) {
    cancel = true;
    if (m_running) closebtn_Click();
  }
}

LRESULT UpdateFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = Form::FormProc(msg, wParam, lParam);
  if (msg == WM_SIZE && BForm1) Form_Resize();
  return result;
}

void UpdateFrm::Form_Resize() {
  RECT client;
  if (!GetClientRect(hWnd(), &client)) return;
  SetWindowRgn(hWnd(), CreateRoundRectRgn(0, 0, client.Width(), client.Height(), 6, 6), true);
  BForm1->Printform(hWnd());
  closebtn->Left(PixelsToTwips(client.Width()) - kCloseFromRight);
}

void UpdateFrm::closebtn_Click() {
  if (MessageBox("您是否要退出更新！", "提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_bCancel = true;
  m_downfile->StopDownLoad();
}

void UpdateFrm::Fail(const std::string& shown, const std::string& logged) {
  m_failed = true;
  Label1->Caption(shown);
  Log(logged);
}

void UpdateFrm::UpdateFiles() {
  const auto pieces = SplitAtBars(CommandLineText());
  m_Directory = pieces[0];
  while (m_Directory.size() > 1 && m_Directory.back() == '/') m_Directory.pop_back();
  if (pieces.size() > 1) m_Executable = pieces[1];
  if (m_Directory.empty() || m_Directory.front() != '/' || !DirectoryExists(m_Directory)) {
    Fail("程序目录无效", "no such directory: " + m_Directory);
    return;
  }

  std::string manifestPath;
  try {
    manifestPath = GetTempDir() + "update.txt";
  } catch (const std::exception& e) {
    Fail("找不到更新列表", e.what());
    return;
  }
  bool tooLarge = false;
  const auto manifest = ReadFileLimited(manifestPath, kMaxManifestBytes, &tooLarge);
  if (!manifest) {
    // No manifest: nothing to fetch (a manifest too large to be one is a failure).
    if (tooLarge) Fail("更新列表无效", "the manifest is too large");
    return;
  }
  if (const std::string key = UpdatePublicKey(); !key.empty()) {
    const auto signature = ReadFileLimited(manifestPath + ".sig", 1024);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(manifest->data());
    if (!signature || !VerifyEd25519({bytes, manifest->size()}, *signature, key)) {
      Fail("更新列表校验失败", "the manifest's signature does not verify; nothing is updated");
      return;
    }
  }

  for (const std::string& name : ListDirectory(m_Directory)) {
    if (name.rfind(kTempPrefix, 0) == 0) RemoveFile(m_Directory + "/" + name);
  }

  std::vector<ManifestFileLine> files;
  int lineNumber = 0;
  int refused = 0;
  for (std::string_view line : SplitManifestLines(*manifest)) {
    ++lineNumber;
    ManifestFileLine file = ReadManifestFileLine(line);
    if (file.kind == ManifestFileLine::Kind::Refused) {
      ++refused;
      Log("manifest line " + std::to_string(lineNumber) + " skipped: " + file.reason);
    } else if (file.kind == ManifestFileLine::Kind::File) {
      files.push_back(std::move(file));
    }
  }
  if (files.empty()) {
    // Lines that were all refused are no update at all, not a finished one.
    if (refused > 0) Fail("更新列表无效", "no usable file line in the manifest");
    return;
  }

  // A directory we cannot write to (a system-wide installation) is found before anything is
  // fetched.
  const std::string prefix = m_Directory + "/" + kTempPrefix;
  if (const auto probe = CreateUniqueFile(prefix)) {
    RemoveFile(*probe);
  } else {
    Fail("无法写入程序目录", "cannot write to " + m_Directory);
    m_readOnly = true;
    return;
  }

  std::vector<Fetched> fetched;
  for (const ManifestFileLine& file : files) {
    const std::string target = m_Directory + "/" + file.name;
    Label1->Caption("正在下载：" + file.name);
    OrvProgressBar1->Value(0);
    const auto temp = CreateUniqueFile(prefix);
    if (!temp) {
      Fail("无法写入：" + file.name, "cannot create a file in " + m_Directory);
      break;
    }
    fetched.push_back({*temp, target});
    std::int64_t announced = -1;
    const auto query = m_downfile->QueryFileInfo;
    m_downfile->QueryFileInfo = [&](std::int64_t size) {
      announced = size;
      query(size);
    };
    const bool ok = m_downfile->DownLoadFile(file.url, *temp, false, true);
    m_downfile->QueryFileInfo = query;
    m_LastFile = target;
    if (m_bCancel) break;
    if (!ok || FileSize(*temp) != announced) {
      Fail("下载失败：" + file.name, "cannot fetch " + file.url);
      break;
    }
    if (!file.sha256.empty() && Sha256HexOfFile(*temp) != file.sha256) {
      Fail("文件校验失败：" + file.name, "SHA-256 mismatch for " + file.url);
      break;
    }
  }
  if (m_bCancel || m_failed) {
    for (const Fetched& f : fetched) RemoveFile(f.temp);
    return;
  }
  Install(fetched);
}

void UpdateFrm::Install(std::vector<Fetched>& fetched) {
  for (std::size_t i = 0; i < fetched.size(); ++i) {
    const Fetched& f = fetched[i];
    // Only the client is a program; nothing else fetched is ever made executable.
    const bool program = !m_Executable.empty() && f.target == m_Executable;
    if (!SetProgramMode(f.temp, program) || !RenameFile(f.temp, f.target)) {
      Fail("无法写入：" + f.target.substr(m_Directory.size() + 1), "cannot replace " + f.target);
      for (std::size_t j = i; j < fetched.size(); ++j) RemoveFile(fetched[j].temp);
      return;
    }
    m_installed.insert(f.target);
  }
}

void UpdateFrm::OpenAtEnd() {
  if (!m_LastFile.empty() && m_installed.count(m_LastFile) != 0) {
    // The client starts directly; any other file opens in its default application.
    ShellExecuteOpen(m_LastFile, "");
    return;
  }
  // Cancelled or failed: the previous client, still in place, comes back.
  if ((m_bCancel || m_failed) && !m_Executable.empty() && FileExists(m_Executable)) {
    ShellExecuteOpen(m_Executable, "");
  }
}
