#include "services/browser_launcher.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/rationed_text_memory.h"
#include "tests/support/win_test_support.h"

namespace {

constexpr char kCommandKey[] = "htmlfile\\shell\\open\\command";
const std::string kUrl = "http://www.varnholt.example/shop?item=1&note=a%20b";

void StoreValue(HKEY root, const char* keyPath, const char* name, DWORD type, const std::string& bytes) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void StoreBrowserCommand(DWORD type, const std::string& bytes) {
    StoreValue(HKEY_CLASSES_ROOT, kCommandKey, "", type, bytes);
}

// Every process this test process starts joins its job, so the job's count says how many
// the launcher started, whether they still run or not.
HANDLE ProcessJob() {
    static const HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        AssignProcessToJobObject(created, GetCurrentProcess());
        return created;
    }();
    return job;
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION JobAccounting() {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    QueryInformationJobObject(ProcessJob(), JobObjectBasicAccountingInformation, &accounting,
                              sizeof accounting, nullptr);
    return accounting;
}

// Counted by trying every handle value the test's few handles can have: Wine's
// GetProcessHandleCount answers 0.
size_t OpenHandles() {
    size_t count = 0;
    for (UINT_PTR value = 4; value < 0x2000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

std::string OwnDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program = path;
    return program.substr(0, program.find_last_of('\\') + 1);
}

std::string Quoted(const std::string& text) {
    return '"' + text + '"';
}

// What the stand-in browser wrote about its start: its named items and its arguments.
struct BrowserRecord {
    std::map<std::string, std::string> items;
    std::vector<std::string> args;
};

BrowserRecord ParseRecord(const std::string& bytes) {
    BrowserRecord record;
    size_t from = 0;
    for (size_t end; (end = bytes.find('\0', from)) != std::string::npos; from = end + 1) {
        const std::string item = bytes.substr(from, end - from);
        const size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = item.substr(equals + 1);
        if (name == "arg") {
            record.args.push_back(value);
        } else {
            record.items[name] = value;
        }
    }
    return record;
}

BOOL CALLBACK NoteIconControl(HWND child, LPARAM found) {
    if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return TRUE;
}

// A message box's icon handle, 0 when it shows none.
HICON MessageBoxIcon(HWND box) {
    HICON icon = nullptr;
    EnumChildWindows(box, NoteIconControl, reinterpret_cast<LPARAM>(&icon));
    return icon;
}

// Each test gets the stand-in browser copied as "fake browser.exe" into a folder of its own
// whose name has blanks too, so that quoting matters, and an inheritable event it can signal.
class BrowserLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
        folder_ =
            std::string(temp) + "varnholt web browser " + std::to_string(GetCurrentProcessId());
        fake_ = folder_ + "\\fake browser.exe";
        record_ = folder_ + "\\record";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA((OwnDirectory() + "fake_browser.exe").c_str(), fake_.c_str(), TRUE));
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        event_ = KernelHandle(CreateEventA(&inheritable, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event_);
        SetEnvironmentVariableA("VARNHOLT_FAKE_BROWSER_RECORD", record_.c_str());
        SetEnvironmentVariableA("VARNHOLT_FAKE_BROWSER_EVENT",
                                std::to_string(reinterpret_cast<UINT_PTR>(event_.Get())).c_str());
        startedBefore_ = JobAccounting().TotalProcesses;
    }

    ~BrowserLauncher() override {
        // The stand-in must have ended before its program file can go.
        PumpUntil([] { return JobAccounting().ActiveProcesses <= 1; }, 10000);
        SetEnvironmentVariableA("VARNHOLT_FAKE_BROWSER_RECORD", nullptr);
        SetEnvironmentVariableA("VARNHOLT_FAKE_BROWSER_EVENT", nullptr);
        DeleteFileA(record_.c_str());
        DeleteFileA((record_ + ".partial").c_str());
        DeleteFileA(fake_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    DWORD ProcessesStarted() const { return JobAccounting().TotalProcesses - startedBefore_; }

    // Waits for the stand-in's record, takes it and removes it for the next start. The record
    // can be there before it can be opened: the rename that puts it in place holds it open a
    // moment longer, without sharing it for reading.
    std::optional<BrowserRecord> AwaitRecord() {
        std::string bytes;
        const bool arrived = PumpUntil(
            [&] {
                std::ifstream file(record_, std::ios::binary);
                if (!file) return false;
                bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
                return true;
            },
            15000);
        if (!arrived) return std::nullopt;
        DeleteFileA(record_.c_str());
        return ParseRecord(bytes);
    }

    SavedBrowserRegistration savedRegistration_;
    std::string folder_;
    std::string fake_;
    std::string record_;
    KernelHandle event_;
    DWORD startedBefore_ = 0;
};

TEST_F(BrowserLauncher, StartsRegisteredBrowserWithUrlAsItsOwnArgument) {
    const std::string program = Quoted(fake_);
    // Extra arguments that take the command past 256 bytes, and past several KiB.
    auto padding = [](size_t count) {
        std::vector<std::string> args;
        for (size_t i = 0; i < count; ++i) {
            args.push_back("--pad" + std::to_string(i) + "=" + std::string(40, 'p'));
        }
        return args;
    };
    auto joined = [](const std::vector<std::string>& args) {
        std::string text;
        for (const std::string& arg : args) text += " " + arg;
        return text;
    };
    const std::vector<std::string> somePads = padding(6);    // about 290 bytes
    const std::vector<std::string> manyPads = padding(120);  // about 6 KiB

    struct Case {
        std::string stored;
        std::string commandLine;
        std::vector<std::string> padding;
    };
    const Case cases[] = {
        {program + " \"%1\"" + '\0', program + " " + Quoted(kUrl), {}},
        {program + " %1" + '\0', program + " " + kUrl, {}},
        {program + '\0', program + " " + kUrl, {}},
        {program + " " + '\0', program + " " + kUrl, {}},
        {program + " \"%1\"", program + " " + Quoted(kUrl), {}},  // stored without its NUL
        {program + joined(somePads) + " \"%1\"" + '\0',
         program + joined(somePads) + " " + Quoted(kUrl), somePads},
        {program + joined(manyPads) + '\0', program + joined(manyPads) + " " + kUrl, manyPads},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.substr(0, 120));
        StoreBrowserCommand(REG_SZ, c.stored);
        const DWORD startedBefore = ProcessesStarted();
        MessageBoxCapture capture;
        const size_t handlesBefore = OpenHandles();
        OpenUrlInDefaultBrowser(kUrl);
        EXPECT_TRUE(capture.boxes.empty());
        EXPECT_EQ(ProcessesStarted() - startedBefore, 1u);
        EXPECT_EQ(OpenHandles(), handlesBefore) << "key, process and thread handles closed";

        const std::optional<BrowserRecord> record = AwaitRecord();
        ASSERT_TRUE(record) << "the browser wrote no record";
        EXPECT_EQ(record->items.at("command"), c.commandLine);
        std::vector<std::string> expectedArgs{fake_};
        expectedArgs.insert(expectedArgs.end(), c.padding.begin(), c.padding.end());
        expectedArgs.push_back(kUrl);
        EXPECT_EQ(record->args, expectedArgs);
        EXPECT_EQ(std::count(record->args.begin(), record->args.end(), kUrl), 1);
    }
}

TEST_F(BrowserLauncher, StartsBrowserWithCallersSettingsAndWithoutSystemErrorBoxes) {
    StoreBrowserCommand(REG_SZ, Quoted(fake_) + " \"%1\"" + '\0');
    char callerDirectory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof callerDirectory, callerDirectory);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    const UINT callerErrorMode = SetErrorMode(SEM_NOGPFAULTERRORBOX);

    OpenUrlInDefaultBrowser(kUrl);
    const UINT errorModeAfter = GetErrorMode();
    SetErrorMode(callerErrorMode);
    SetCurrentDirectoryA(callerDirectory);

    EXPECT_EQ(errorModeAfter, static_cast<UINT>(SEM_NOGPFAULTERRORBOX))
        << "the caller's error mode is back";
    const std::optional<BrowserRecord> record = AwaitRecord();
    ASSERT_TRUE(record) << "the browser wrote no record";
    EXPECT_EQ(record->items.at("flags"), std::to_string(STARTF_USESHOWWINDOW));
    EXPECT_EQ(record->items.at("show"), std::to_string(SW_SHOWNORMAL));
    EXPECT_EQ(record->items.at("directory"), folder_);
    EXPECT_EQ(record->items.at("event"), "1") << "handles are inherited";
    EXPECT_EQ(WaitForSingleObject(event_.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(BrowserLauncher, ExpandsEnvironmentReferencesOfExpandableCommandButNotOfUrl) {
    SetEnvironmentVariableA("VARNHOLT_WEB_FOLDER", folder_.c_str());
    StoreBrowserCommand(
        REG_EXPAND_SZ, "\"%VARNHOLT_WEB_FOLDER%\\fake browser.exe\" \"%1\"" + std::string(1, '\0'));
    const std::string url = "http://www.varnholt.example/%VARNHOLT_WEB_FOLDER%/%41";

    OpenUrlInDefaultBrowser(url);
    SetEnvironmentVariableA("VARNHOLT_WEB_FOLDER", nullptr);

    const std::optional<BrowserRecord> record = AwaitRecord();
    ASSERT_TRUE(record) << "the browser wrote no record";
    EXPECT_EQ(record->items.at("command"), Quoted(fake_) + " " + Quoted(url));
    EXPECT_EQ(record->args, (std::vector<std::string>{fake_, url}));
}

TEST_F(BrowserLauncher, ReportsMissingRegistrationWithStopIconAndStartsNothing) {
    const std::string command = Quoted(fake_) + " \"%1\"";
    struct Case {
        const char* what;
        std::function<void()> setUp;
    };
    const Case cases[] = {
        {"no key", [] { RegDeleteKeyA(HKEY_CLASSES_ROOT, kCommandKey); }},
        {"no default value",
         [] {
             StoreBrowserCommand(REG_SZ, "x");
             RegistryKey key;
             RegOpenKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, KEY_SET_VALUE, key.Receive());
             RegDeleteValueA(key.Get(), "");
         }},
        {"a number", [] { StoreBrowserCommand(REG_DWORD, std::string("\x01\x00\x00\x00", 4)); }},
        {"command bytes stored as binary",
         [&] { StoreBrowserCommand(REG_BINARY, command + '\0'); }},
        {"an empty command", [] { StoreBrowserCommand(REG_SZ, std::string(1, '\0')); }},
    };
    const HICON stopIcon = LoadIconA(nullptr, IDI_HAND);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.setUp();
        MessageBoxCapture capture;
        HICON shownIcon = nullptr;
        capture.onShow = [&](const CapturedMessageBox& box) {
            shownIcon = MessageBoxIcon(box.window);
            MessageBoxCapture::Close(box.window);
        };

        const size_t handlesBefore = OpenHandles();
        OpenUrlInDefaultBrowser(kUrl);

        EXPECT_EQ(OpenHandles(), handlesBefore) << "the key is closed";
        ASSERT_EQ(capture.boxes.size(), 1u);
        EXPECT_EQ(capture.boxes[0].text, "Cannot find default Internet browser");
        EXPECT_EQ(capture.boxes[0].caption, "Varnholt");
        EXPECT_EQ(capture.boxes[0].owner, nullptr);
        EXPECT_EQ(shownIcon, stopIcon);
        EXPECT_EQ(ProcessesStarted(), 0u);
    }
}

// The user's choice for http wins when its ProgId has a usable command, and the htmlfile
// command serves otherwise; with neither there is the box.
constexpr char kTestProgId[] = "VarnholtTestBrowser";

TEST_F(BrowserLauncher, StartsTheBrowserTheUserChoseOrElseTheHtmlFileOne) {
    struct ProgIdRemoval {
        ~ProgIdRemoval() { RegDeleteTreeA(HKEY_CLASSES_ROOT, kTestProgId); }
    } removeProgIdAtEnd;
    const std::string choiceKey =
        "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
    const std::string progIdCommandKey = std::string(kTestProgId) + "\\shell\\open\\command";
    const std::string htmlFileCommand = Quoted(fake_) + " --htmlfile \"%1\"";
    const std::string chosenCommand = Quoted(fake_) + " --single-argument %1";  // as Chrome's
    auto chooseProgId = [&] { StoreValue(HKEY_CURRENT_USER, choiceKey.c_str(), "ProgId", REG_SZ, kTestProgId); };
    struct Case {
        const char* what;
        std::function<void()> setUp;
        std::vector<std::string> args;  // none: the box and no start
    };
    const Case cases[] = {
        {"a chosen ProgId with a command",
         [&] {
             StoreBrowserCommand(REG_SZ, htmlFileCommand);
             StoreValue(HKEY_CLASSES_ROOT, progIdCommandKey.c_str(), "", REG_SZ, chosenCommand);
             chooseProgId();
         },
         {fake_, "--single-argument", kUrl}},
        {"a chosen ProgId with only a DelegateExecute",
         [&] {
             RegDeleteTreeA(HKEY_CLASSES_ROOT, kTestProgId);
             StoreValue(HKEY_CLASSES_ROOT, progIdCommandKey.c_str(), "DelegateExecute", REG_SZ, "{0}");
             chooseProgId();
         },
         {fake_, "--htmlfile", kUrl}},
        {"no choice", [&] { RegDeleteKeyA(HKEY_CURRENT_USER, choiceKey.c_str()); }, {fake_, "--htmlfile", kUrl}},
        {"neither",
         [&] {
             chooseProgId();
             RegDeleteKeyA(HKEY_CLASSES_ROOT, kCommandKey);
         },
         {}},
    };
    LoadIconA(nullptr, IDI_HAND);  // the platform keeps what it opens for the box's first icon
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.setUp();
        const DWORD startedBefore = ProcessesStarted();
        MessageBoxCapture capture;
        const size_t handlesBefore = OpenHandles();
        OpenUrlInDefaultBrowser(kUrl);
        EXPECT_EQ(OpenHandles(), handlesBefore);
        if (c.args.empty()) {
            ASSERT_EQ(capture.boxes.size(), 1u);
            EXPECT_EQ(capture.boxes[0].text, "Cannot find default Internet browser");
            EXPECT_EQ(ProcessesStarted(), startedBefore);
            continue;
        }
        EXPECT_TRUE(capture.boxes.empty());
        EXPECT_EQ(ProcessesStarted() - startedBefore, 1u);
        const std::optional<BrowserRecord> record = AwaitRecord();
        ASSERT_TRUE(record) << "the browser wrote no record";
        EXPECT_EQ(record->args, c.args);
    }
}

TEST_F(BrowserLauncher, BrowserThatCannotStartIsNotReported) {
    StoreBrowserCommand(REG_SZ, Quoted(folder_ + "\\no such browser.exe") + " \"%1\"" + '\0');
    const UINT callerErrorMode = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    MessageBoxCapture capture;
    const size_t handlesBefore = OpenHandles();

    OpenUrlInDefaultBrowser(kUrl);
    const UINT errorModeAfter = GetErrorMode();
    SetErrorMode(callerErrorMode);

    EXPECT_EQ(OpenHandles(), handlesBefore);
    EXPECT_TRUE(capture.boxes.empty());
    EXPECT_EQ(ProcessesStarted(), 0u);
    EXPECT_EQ(errorModeAfter, static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

TEST_F(BrowserLauncher, CommandLineThatMemoryCannotBeHadForStartsNothingAndSaysNothing) {
    SetEnvironmentVariableA("VARNHOLT_WEB_FOLDER", folder_.c_str());
    StoreBrowserCommand(
        REG_EXPAND_SZ, "\"%VARNHOLT_WEB_FOLDER%\\fake browser.exe\" \"%1\"" + std::string(1, '\0'));
    MessageBoxCapture capture;
    // Refused its first allocation, then its second and so on, until it has all it asks for.
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, 64) << "never got all the memory it needs";
        int refused;
        {
            RationedTextMemory memory(allowed);
            OpenUrlInDefaultBrowser(kUrl);
            refused = RationedTextMemory::Refused();
        }
        if (refused == 0) break;
        EXPECT_TRUE(capture.boxes.empty()) << allowed << " allowed";
        EXPECT_EQ(ProcessesStarted(), 0u) << allowed << " allowed";
    }
    SetEnvironmentVariableA("VARNHOLT_WEB_FOLDER", nullptr);
    EXPECT_GE(allowed, 3) << "the value, its expansion and the command line each take memory";

    EXPECT_TRUE(capture.boxes.empty());
    EXPECT_EQ(ProcessesStarted(), 1u);
    const std::optional<BrowserRecord> record = AwaitRecord();
    ASSERT_TRUE(record) << "the browser wrote no record";
    EXPECT_EQ(record->args, (std::vector<std::string>{fake_, kUrl}));
}

}  // namespace
