#include "program_runner_win.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "program_line.h"
#include "utf8_win.h"

namespace kestrin {
namespace {

// CreateProcess's answer for a program whose manifest asks for elevation; the shell can start
// it (after the user's consent). Not in mingw-w64's headers.
constexpr DWORD kElevationRequired = 740;

// COM for this thread while the program starts: the shell's link objects and ShellExecuteEx
// want it.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

std::string Utf8(const std::wstring& wide) {
  std::string text;
  Utf8Text(wide.data(), wide.size(), &text);
  return text;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Expanded(const std::wstring& text) {
  const DWORD units = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  std::wstring out(units, L'\0');
  if (units == 0 || ExpandEnvironmentStringsW(text.c_str(), out.data(), units) != units)
    return text;
  out.resize(units - 1);
  return out;
}

// CreateProcess wants a full path for the start folder.
std::wstring FullFolder(const std::string& folder) {
  if (folder.empty()) return std::wstring();
  const std::wstring wide = WideText(folder);
  const DWORD units = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(units, L'\0');
  if (units == 0 || GetFullPathNameW(wide.c_str(), units, full.data(), nullptr) >= units)
    return wide;
  full.resize(units - 1);
  return full;
}

struct Shortcut {
  std::wstring target, arguments, folder;
};

// A shell link's target, its arguments and its start folder, as the shell would start it.
bool ReadShortcut(const std::wstring& path, Shortcut* out) {
  IShellLinkW* rawLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&rawLink))))
    return false;
  ComRef<IShellLinkW> link(rawLink);
  IPersistFile* rawFile = nullptr;
  if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile))))
    return false;
  ComRef<IPersistFile> file(rawFile);
  if (FAILED(file.get()->Load(path.c_str(), STGM_READ))) return false;
  std::vector<wchar_t> text(INFOTIPSIZE + 1, L'\0');
  const int size = static_cast<int>(text.size() - 1);
  if (link.get()->GetPath(text.data(), size, nullptr, 0) != S_OK) return false;
  out->target = Expanded(text.data());
  text.assign(text.size(), L'\0');
  if (SUCCEEDED(link.get()->GetArguments(text.data(), size))) out->arguments = text.data();
  text.assign(text.size(), L'\0');
  if (SUCCEEDED(link.get()->GetWorkingDirectory(text.data(), size)))
    out->folder = Expanded(text.data());
  return !out->target.empty();
}

}  // namespace

Outcome ProgramRun::Start(const std::string& text) {
  const ComApartment com;
  const std::vector<ProgramSplit> splits = ProgramSplits(text);
  if (splits.empty()) return Failed(Step::kStartProgram, ERROR_FILE_NOT_FOUND, text);
  // Where blanks leave it open, the program is the first reading that names a file.
  ProgramSplit chosen = splits.front();
  for (const ProgramSplit& split : splits) {
    if (IsFile(WideText(split.program)) || IsFile(WideText(split.program + ".exe"))) {
      chosen = split;
      break;
    }
  }
  std::wstring file = WideText(chosen.program), arguments = WideText(chosen.arguments);
  std::wstring commandLine = WideText(text), folder = FullFolder(ProgramFolder(chosen.program));
  Shortcut link;
  const bool shortcut = IsShortcutName(chosen.program);
  if (shortcut && ReadShortcut(file, &link)) {
    // Started like any program, so that it runs in the job.
    file = link.target;
    arguments = (link.arguments.empty() ? L"" : L" " + link.arguments) + arguments;
    commandLine = WideText(QuotedArgument(Utf8(link.target))) + arguments;
    folder = link.folder.empty() ? FullFolder(ProgramFolder(Utf8(link.target))) : link.folder;
  }
  DWORD failure = ERROR_BAD_EXE_FORMAT;
  if (!(shortcut && link.target.empty()) && CreateInJob(commandLine, folder, &failure))
    return Outcome();
  // What the system cannot start itself (a document, a link to no file, a program that asks
  // for elevation) the shell may.
  if ((failure == ERROR_BAD_EXE_FORMAT || failure == kElevationRequired) &&
      ShellStart(file, arguments, folder, &failure))
    return Outcome();
  return failure ? Failed(Step::kStartProgram, failure, text)
                 : Failed(Step::kFollowProgram, 0, text);
}

bool ProgramRun::CreateInJob(const std::wstring& commandLine, const std::wstring& folder,
                             DWORD* error) {
  job_.reset(CreateJobObjectW(nullptr, nullptr));
  port_.reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
  association.CompletionKey = job_.get();
  association.CompletionPort = port_.get();
  // A program that asks to leave the job may: it runs as it would without Kestrin.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (!job_ || !port_ ||
      !SetInformationJobObject(job_.get(), JobObjectAssociateCompletionPortInformation,
                               &association, sizeof association) ||
      !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits))
    job_.reset();

  std::wstring line = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    *error = GetLastError();
    return false;
  }
  process_.reset(info.hProcess);
  UniqueHandle thread(info.hThread);
  // Suspended until it is in the job, so that nothing it starts escapes. A job that cannot
  // take it (an older system, where Kestrin runs in a job itself) leaves the program alone
  // to wait for.
  inJob_ = job_ && AssignProcessToJobObject(job_.get(), process_.get());
  ResumeThread(thread.get());
  return true;
}

bool ProgramRun::ShellStart(const std::wstring& file, const std::wstring& arguments,
                            const std::wstring& folder, DWORD* error) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = file.c_str();
  info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    *error = GetLastError();
    return false;
  }
  // Handed to a program already running: there is nothing here to wait for.
  *error = 0;
  if (!info.hProcess) return false;
  process_.reset(info.hProcess);
  // Already running, so what it started meanwhile is not followed; an elevated process
  // cannot be assigned at all.
  inJob_ = job_ && AssignProcessToJobObject(job_.get(), process_.get());
  return true;
}

bool ProgramRun::Ended() {
  if (!process_) return true;
  if (!inJob_) return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
  DWORD message = 0;
  ULONG_PTR key = 0;
  LPOVERLAPPED overlapped = nullptr;
  while (GetQueuedCompletionStatus(port_.get(), &message, &key, &overlapped, 0)) {
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) jobEmpty_ = true;
  }
  // The port's notices are not guaranteed: the job's own count settles it.
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  if (!jobEmpty_ &&
      QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                sizeof accounting, nullptr) &&
      accounting.ActiveProcesses == 0)
    jobEmpty_ = true;
  return jobEmpty_ && WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
}

void ProgramRun::PumpFor(DWORD ms) {
  // Sent messages (a broadcast, the session's end) are taken while waiting as well.
  const HANDLE process = process_.get();
  const DWORD count = process && !inJob_ ? 1 : 0;
  MsgWaitForMultipleObjectsEx(count, count ? &process : nullptr, ms, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

DWORD ProgramRun::ExitCode() const {
  DWORD code = 1;
  if (!process_ || !GetExitCodeProcess(process_.get(), &code)) return 1;
  return code;
}

}  // namespace kestrin
