// The scripted stand-in for the operating system.
#include "tests/unit/FakePlatform.h"

#include <sstream>

#include "platform/AsciiText.h"
#include "platform/ProgramImage.h"
#include "window/Layout.h"

namespace pruvolt::test {

namespace {

std::wstring Name(Control control) {
    switch (control) {
        case Control::lblMessage:
            return L"lblMessage";
        case Control::cmdInstall0:
            return L"cmdInstall0";
        case Control::cmdInstall2:
            return L"cmdInstall2";
        case Control::picProgress:
            return L"picProgress";
        case Control::picProgressInner:
            return L"picProgressInner";
        case Control::imgProgressFlash:
            return L"imgProgressFlash";
    }
    return L"?";
}

std::wstring Name(Timer timer) {
    return timer == Timer::tmrEvents ? L"tmrEvents" : L"tmrEnd";
}

// Shortest form: 7.5, -20000, 0.
std::wstring Number(float value) {
    std::wostringstream out;
    out.precision(9);
    out << value;
    return out.str();
}

std::wstring Bool(bool value) {
    return value ? L"true" : L"false";
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = AsciiLower(c);
    return text;
}

class FakeRecordset final : public AdoRecordset {
   public:
    explicit FakeRecordset(FakePlatform& platform) : platform_(platform) {}
    void Open(const std::wstring& source, const std::wstring& activeConnection) override {
        platform_.log.push_back(L"Open(" + source + L"|" + activeConnection + L")");
        if (platform_.openError) throw *platform_.openError;
    }

   private:
    FakePlatform& platform_;
};

class FakeFileSystem final : public FileSystemObject {
   public:
    explicit FakeFileSystem(FakePlatform& platform) : platform_(platform) {}
    bool FileExists(const std::wstring& path) override {
        platform_.log.push_back(L"FileExists(" + path + L")");
        return platform_.files.contains(path);
    }

   private:
    FakePlatform& platform_;
};

// Holds its path in the fake's list while it lives; its check compares the fake's files.
class FakeHeldCopy final : public HeldCopy {
   public:
    FakeHeldCopy(FakePlatform& platform, std::wstring path) : platform_(platform), path_(std::move(path)) {
        platform_.heldCopies.push_back(path_);
    }
    ~FakeHeldCopy() override { std::erase(platform_.heldCopies, path_); }
    void Verify(const std::wstring& source) override {
        platform_.log.push_back(L"Verify(" + path_ + L"|" + source + L")");
        const auto copy = platform_.files.find(path_);
        const auto original = platform_.files.find(source);
        if (copy == platform_.files.end() || original == platform_.files.end() ||
            copy->second != original->second) {
            throw PlatformError{-2147024891, L"staged copy changed"};
        }
    }
    void VerifySignature() override {
        platform_.log.push_back(L"VerifySignature(" + path_ + L")");
        if (platform_.signatureError) throw *platform_.signatureError;
    }

   private:
    FakePlatform& platform_;
    std::wstring path_;
};

class FakePrivateFolder final : public PrivateFolder {
   public:
    FakePrivateFolder(FakePlatform& platform, std::wstring path)
        : platform_(platform), path_(std::move(path)), tempPath_(path_ + L"\\Temp") {
        platform_.privateFolders.push_back(path_);
    }
    // Goes with the files in it.
    ~FakePrivateFolder() override {
        std::erase_if(platform_.files, [this](const auto& file) { return file.first.starts_with(path_ + L"\\"); });
        std::erase(platform_.privateFolders, path_);
        platform_.log.push_back(L"RemovePrivateFolder(" + path_ + L")");
    }
    const std::wstring& Path() const override { return path_; }
    const std::wstring& TempPath() const override { return tempPath_; }

   private:
    FakePlatform& platform_;
    std::wstring path_;
    std::wstring tempPath_;
};

}  // namespace

FakePlatform::FakePlatform() {
    // As the window is designed: both buttons shown, the strip hidden, both timers stopped.
    const auto place = [this](Control control, const Box& box, bool shown) {
        left[control] = static_cast<float>(box.left);
        width[control] = static_cast<float>(box.width);
        visible[control] = shown;
    };
    place(Control::lblMessage, layout::kLblMessage, true);
    place(Control::cmdInstall0, layout::kCmdInstall0, true);
    place(Control::cmdInstall2, layout::kCmdInstall2, true);
    place(Control::picProgress, layout::kPicProgress, false);
    place(Control::picProgressInner, layout::kPicProgressInner, true);
    place(Control::imgProgressFlash, layout::kImgProgressFlash, true);
    timerEnabled[Timer::tmrEvents] = false;
    timerEnabled[Timer::tmrEnd] = false;
    version = OsVersionInfoA{148, 10, 0, 19045, 2, "Service Pack 9"};
}

void FakePlatform::OnProcessEvents(int nth, std::function<void()> event) {
    events_.emplace(nth, std::move(event));
}

int FakePlatform::FileImageBits(const std::wstring& path) {
    const auto file = files.find(path);
    if (file == files.end()) return 0;
    if (file->second == "x86") return 32;
    if (file->second == "x64") return 64;
    return ProgramImageBits(file->second);
}

std::vector<std::wstring> FakePlatform::LogOf(const std::wstring& prefix) const {
    std::vector<std::wstring> matching;
    for (const auto& entry : log) {
        if (entry.starts_with(prefix)) matching.push_back(entry);
    }
    return matching;
}

bool FakePlatform::PreviousInstanceRunning() {
    log.push_back(L"PreviousInstanceRunning");
    return previousInstance;
}

void FakePlatform::EndProgram(std::uint32_t code) {
    log.push_back(L"EndProgram");
    exitCode = code;
    throw ProgramEnded{};
}

std::wstring FakePlatform::EnvironmentVariable(const std::wstring& name) {
    log.push_back(L"EnvironmentVariable(" + name + L")");
    const auto found = environment.find(name);
    return found == environment.end() ? std::wstring() : found->second;
}

std::wstring FakePlatform::TempFolder() {
    log.push_back(L"TempFolder");
    return tempFolder;
}

void FakePlatform::SetWindowLeft(float twips) {
    log.push_back(L"SetWindowLeft(" + Number(twips) + L")");
    windowLeft = twips;
}

void FakePlatform::SetWindowTop(float twips) {
    log.push_back(L"SetWindowTop(" + Number(twips) + L")");
    windowTop = twips;
}

void FakePlatform::ShowWindow() {
    log.push_back(L"ShowWindow");
}

void FakePlatform::ProcessPendingEvents() {
    log.push_back(L"ProcessPendingEvents");
    const int call = ++processEventsCalls;
    std::vector<std::function<void()>> due;
    for (auto [it, end] = events_.equal_range(call); it != end; ++it) due.push_back(it->second);
    for (const auto& event : due) {
        if (EndsProgram(*this, event)) throw ProgramEnded{};
    }
}

void FakePlatform::SetLabelText(const std::wstring& text) {
    log.push_back(L"SetLabelText(" + text + L")");
    label = text;
}

void FakePlatform::SetVisible(Control control, bool isVisible) {
    log.push_back(L"SetVisible(" + Name(control) + L"," + Bool(isVisible) + L")");
    visible[control] = isVisible;
}

void FakePlatform::SetControlLeft(Control control, float twips) {
    log.push_back(L"SetControlLeft(" + Name(control) + L"," + Number(twips) + L")");
    left[control] = twips;
}

void FakePlatform::SetTimerEnabled(Timer timer, bool enabled) {
    log.push_back(L"SetTimerEnabled(" + Name(timer) + L"," + Bool(enabled) + L")");
    timerEnabled[timer] = enabled;
}

void FakePlatform::ShowMessageBox(const std::wstring& prompt, std::uint32_t buttons,
                              const std::wstring& title) {
    log.push_back(L"ShowMessageBox(" + prompt + L")");
    messageBoxes.push_back({prompt, buttons, title});
    if (whileMessageBoxOpen && EndsProgram(*this, whileMessageBoxOpen)) throw ProgramEnded{};
}

std::unique_ptr<AdoRecordset> FakePlatform::CreateRecordset(const std::wstring& progId) {
    log.push_back(L"CreateRecordset(" + progId + L")");
    if (createRecordsetError) throw *createRecordsetError;
    return std::make_unique<FakeRecordset>(*this);
}

std::unique_ptr<FileSystemObject> FakePlatform::CreateFileSystemObject() {
    if (createFileSystemError) {
        log.push_back(L"CreateFileSystemObject failed");
        throw *createFileSystemError;
    }
    return std::make_unique<FakeFileSystem>(*this);
}

std::unique_ptr<HeldCopy> FakePlatform::CopyAndHold(const std::wstring& source,
                                                  const std::wstring& destination) {
    log.push_back(L"CopyAndHold(" + source + L"|" + destination + L")");
    if (copyError) throw *copyError;
    const auto found = files.find(source);
    if (found == files.end()) throw PlatformError{53, L"File not found"};
    files[destination] = found->second;
    return std::make_unique<FakeHeldCopy>(*this, destination);
}

std::unique_ptr<PrivateFolder> FakePlatform::CreatePrivateFolder() {
    const std::wstring path = tempFolder + L"\\Pruvolt-1";
    log.push_back(L"CreatePrivateFolder(" + path + L")");
    if (privateFolderError) throw *privateFolderError;
    return std::make_unique<FakePrivateFolder>(*this, path);
}

bool FakePlatform::GetVersionExA(OsVersionInfoA& info) {
    log.push_back(L"GetVersionExA");
    versionRecordsPassed.push_back(info);
    if (!version || info.dwOSVersionInfoSize != sizeof(OsVersionInfoA)) return false;
    info = *version;
    info.dwOSVersionInfoSize = sizeof(OsVersionInfoA);
    return true;
}

ModuleHandle FakePlatform::GetModuleHandleA(const char* moduleName) {
    procNamesLookedUp.push_back(std::string(moduleName) + "!");
    return 0x7c800000;
}

ProcAddress FakePlatform::GetProcAddress(ModuleHandle module, const char* procName) {
    procNamesLookedUp.back() += procName;
    return module == 0x7c800000 ? isWow64Address : 0;
}

bool FakePlatform::IsWow64Process(ProcAddress function, ProcessHandle process, std::int32_t& flag) {
    log.push_back(L"IsWow64Process");
    if (function != isWow64Address || process != kCurrentProcess) return false;
    flag = wow64Flag;
    return true;
}

void FakePlatform::LaunchCommandLine(const std::wstring& applicationPath,
                                     const std::wstring& commandLine, int windowStyle) {
    log.push_back(L"LaunchCommandLine(" + applicationPath + L"|" + commandLine + L"|" +
                  std::to_wstring(windowStyle) + L")");
    if (launchError) throw *launchError;
}

void FakePlatform::ShellExecuteWide(WindowHandle window, const std::wstring& operation,
                                    const std::wstring& file, const std::wstring& parameters,
                                    const std::wstring& directory, int showCommand) {
    log.push_back(L"ShellExecuteWide(" + std::to_wstring(window) + L"|" + operation + L"|" + file +
                  L"|" + parameters + L"|" + directory + L"|" + std::to_wstring(showCommand) +
                  L")");
    if (shellExecuteError) throw *shellExecuteError;
}

void FakePlatform::WriteOutputLine(const std::wstring& line) {
    log.push_back(L"WriteOutputLine(" + line + L")");
    output.push_back(line);
    if (whileWriting) whileWriting(line);
}

RunResult FakePlatform::RunAndWait(const std::wstring& applicationPath,
                                   const std::wstring& commandLine, int windowStyle,
                                   std::uint32_t limitMs, const std::wstring& currentFolder,
                                   const std::wstring& installerTemp) {
    log.push_back(L"RunAndWait(" + applicationPath + L"|" + commandLine + L"|" +
                  std::to_wstring(windowStyle) + L"|" + std::to_wstring(limitMs) + L"|" +
                  currentFolder + L"|" + installerTemp + L")");
    if (runError) throw *runError;
    if (whileInstallerRuns) whileInstallerRuns();
    if (installerOutlivesLimit) return {0, true};
    return {installerExitCode, false};
}

std::optional<ObjectSecurity> FakePlatform::ReadSecurity(const std::wstring& path) {
    log.push_back(L"ReadSecurity(" + path + L")");
    const auto found = security.find(path);
    if (found == security.end()) return std::nullopt;
    return found->second;
}

void FakePlatform::SetMachineString(RegistryView view, const std::wstring& key,
                                    const std::wstring& name, const std::wstring& text,
                                    bool expand) {
    RegistryKey& entry = registry[view][Lower(key)];
    entry.path = key;
    entry.values[Lower(name)] = {name, {text, expand}};
}

void FakePlatform::SetMachineStringInBoth(const std::wstring& key, const std::wstring& name,
                                          const std::wstring& text) {
    SetMachineString(RegistryView::Bits32, key, name, text);
    SetMachineString(RegistryView::Bits64, key, name, text);
}

std::optional<RegistryString> FakePlatform::ReadMachineString(RegistryView view,
                                                              const std::wstring& key,
                                                              const std::wstring& name) {
    const auto& keys = registry[view];
    const auto found = keys.find(Lower(key));
    if (found == keys.end()) return std::nullopt;
    const auto value = found->second.values.find(Lower(name));
    if (value == found->second.values.end()) return std::nullopt;
    return value->second.data;
}

std::vector<std::wstring> FakePlatform::MachineSubkeys(RegistryView view, const std::wstring& key,
                                                       const std::wstring& prefix) {
    std::vector<std::wstring> names;
    const std::wstring parent = Lower(key) + L"\\";
    for (const auto& [lowerPath, entry] : registry[view]) {
        if (!lowerPath.starts_with(parent)) continue;
        const std::size_t end = entry.path.find(L'\\', parent.size());
        const std::wstring name = entry.path.substr(parent.size(), end - parent.size());
        // Each key below the parent is a path of its own: its first part comes once.
        const bool repeated = !names.empty() && Lower(names.back()) == Lower(name);
        if (StartsWithAsciiCaseless(name, prefix) && !repeated) {
            names.push_back(name);
        }
    }
    return names;
}

std::vector<std::wstring> FakePlatform::MachineValueNames(RegistryView view,
                                                          const std::wstring& key) {
    std::vector<std::wstring> names;
    const auto& keys = registry[view];
    const auto found = keys.find(Lower(key));
    if (found == keys.end()) return names;
    for (const auto& [lowerName, value] : found->second.values) {
        if (!value.name.empty()) names.push_back(value.name);
    }
    return names;
}

std::wstring FakePlatform::ExpandEnvironmentText(const std::wstring& text) {
    std::wstring result;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = text[i] == L'%' ? text.find(L'%', i + 1) : std::wstring::npos;
        const auto variable = end == std::wstring::npos
                                  ? environment.end()
                                  : environment.find(text.substr(i + 1, end - i - 1));
        if (variable == environment.end()) {
            result += text[i++];
        } else {
            result += variable->second;
            i = end + 1;
        }
    }
    return result;
}

bool EndsProgram(FakePlatform& platform, const std::function<void()>& handler) {
    try {
        handler();
        return false;
    } catch (const ProgramEnded&) {
        return true;
    } catch (const PlatformError& error) {
        platform.log.push_back(L"UnhandledError(" + std::to_wstring(error.number) + L")");
        return true;
    }
}

}  // namespace pruvolt::test
