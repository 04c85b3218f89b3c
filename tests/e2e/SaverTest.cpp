#include "SaverTest.h"

#include <QDir>
#include <QFile>

#include <iostream>

namespace wendel::e2e {

namespace {

QString Quoted(const QByteArray& bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        text += (u >= 0x20 && u < 0x7F) ? QString(QLatin1Char(c))
                                        : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

SaverTest::SaverTest()
{
    runtimeDir_ = root_.filePath(QStringLiteral("run"));
    // A folder of its own, so a test can see anything left beside the file.
    iniPath_ = root_.filePath(QStringLiteral("settings/wendelsaver.ini"));
}

SaverTest::~SaverTest() = default;

void SaverTest::SetUp()
{
    ASSERT_TRUE(root_.isValid()) << root_.errorString();
    ASSERT_TRUE(QDir().mkpath(runtimeDir_));
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("settings"))));
    ASSERT_TRUE(QFile::setPermissions(runtimeDir_, QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner));
    x_ = std::make_unique<XServer>(Path(QStringLiteral("xvfb.log")), serverOptions);
    ASSERT_TRUE(x_->IsRunning()) << x_->StartFailure();
}

void SaverTest::TearDown()
{
    if (HasFailure()) {
        for (const auto& process : processes_) {
            std::cout << "--- wendelsaver " << process->Arguments().join(QLatin1Char(' '))
                      << ": " << process->Describe() << "\n"
                      << process->Log();
        }
        if (const std::optional<QByteArray> ini = ReadFile(iniPath_)) {
            std::cout << "--- settings file " << Quoted(ini->left(2000)) << "\n";
        }
    }
    // The program goes before its X server, so it never sees the server vanish.
    processes_.clear();
    x_.reset();
}

QString SaverTest::Path(const QString& relative) const
{
    return root_.filePath(relative);
}

QProcessEnvironment SaverTest::SaverEnvironment() const
{
    QProcessEnvironment env = x_->ClientEnvironment();
    for (const QString& name : env.keys()) {
        if (name.startsWith(QLatin1String("QT_")) || name.startsWith(QLatin1String("XDG_")) ||
            name.startsWith(QLatin1String("WENDELSAVER_"))) {
            env.remove(name);
        }
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
    env.insert(QStringLiteral("WENDELSAVER_INI"), iniPath_);
    // Were the override ever ignored, the user's own settings stay untouched.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root_.filePath(QStringLiteral("config")));
    return env;
}

SaverProcess& SaverTest::Launch(const QStringList& args)
{
    return Launch(args, SaverEnvironment());
}

SaverProcess& SaverTest::Launch(const QStringList& args, const QProcessEnvironment& env)
{
    return LaunchProgram(QStringLiteral(WENDELSAVER_BIN), args, env);
}

SaverProcess& SaverTest::LaunchProgram(const QString& program, const QStringList& args)
{
    return LaunchProgram(program, args, SaverEnvironment());
}

SaverProcess& SaverTest::LaunchProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    const QString log = Path(QStringLiteral("wendelsaver-%1.log").arg(processes_.size() + 1));
    processes_.push_back(std::make_unique<SaverProcess>(args, env, log, program));
    SaverProcess& process = *processes_.back();
    EXPECT_TRUE(process.Started()) << process.Describe();
    return process;
}

std::optional<WindowId> SaverTest::PressReturnIn(const QString& title)
{
    const std::optional<WindowId> window = X().WaitForWindow(title, AppearLimit());
    if (!window || !X().PressKeys(*window, {QStringLiteral("Return")})) return std::nullopt;
    return window;
}

std::vector<WindowId> SaverTest::MappedWindows(std::size_t skip)
{
    const std::vector<TopLevelEvent>& events = X().Connection().TopLevelEvents();
    std::vector<WindowId> mapped;
    for (std::size_t i = skip; i < events.size(); ++i) {
        if (events[i].kind == TopLevelEvent::Kind::Mapped) mapped.push_back(events[i].window);
    }
    return mapped;
}

QString SaverTest::Describe(const std::vector<WindowId>& windows)
{
    QStringList parts;
    for (const WindowId window : windows) {
        const std::optional<QString> title = X().Connection().Title(window);
        parts << QStringLiteral("0x%1 %2")
                     .arg(window, 0, 16)
                     .arg(title ? QLatin1Char('"') + *title + QLatin1Char('"')
                                : QStringLiteral("(gone)"));
    }
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

::testing::AssertionResult SaverTest::MappedInOrder(const std::vector<WindowId>& windows,
                                                    std::size_t skip)
{
    const std::vector<WindowId> mapped = MappedWindows(skip);
    if (mapped != windows) {
        return ::testing::AssertionFailure()
               << "mapped " << Describe(mapped) << ", expected "
               << Describe(windows);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SaverTest::GoneBeforeMapped(WindowId earlier, WindowId later,
                                                       std::size_t skip)
{
    const std::vector<TopLevelEvent>& events = X().Connection().TopLevelEvents();
    for (std::size_t i = skip; i < events.size(); ++i) {
        if (events[i].window == earlier && events[i].kind != TopLevelEvent::Kind::Mapped) {
            return ::testing::AssertionSuccess();
        }
        if (events[i].window == later && events[i].kind == TopLevelEvent::Kind::Mapped) break;
    }
    return ::testing::AssertionFailure() << Describe({earlier})
                                         << " was still shown when "
                                         << Describe({later}) << " appeared";
}

::testing::AssertionResult SaverTest::ShownOneAfterAnother(const std::vector<WindowId>& windows,
                                                           std::size_t skip)
{
    if (::testing::AssertionResult inOrder = MappedInOrder(windows, skip); !inOrder) return inOrder;
    for (std::size_t w = 0; w + 1 < windows.size(); ++w) {
        if (::testing::AssertionResult gone = GoneBeforeMapped(windows[w], windows[w + 1], skip);
            !gone) {
            return gone;
        }
    }
    return ::testing::AssertionSuccess();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot,
                                  QDir::Name);
}

::testing::AssertionResult IsSettingsFile(const std::optional<QByteArray>& file,
                                          const std::vector<QByteArray>& settingsLines)
{
    if (!file) return ::testing::AssertionFailure() << "the settings file is missing";
    if (!file->endsWith("\r\n")) {
        return ::testing::AssertionFailure() << "the last line does not end in CR LF: "
                                             << Quoted(file->right(60));
    }
    QList<QByteArray> lines = file->split('\n');
    lines.removeLast(); // after the final LF
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r') || line.chopped(1).contains('\r')) {
            return ::testing::AssertionFailure()
                   << "a line end that is not CR LF in " << Quoted(line.left(200));
        }
        line.chop(1);
    }
    std::vector<QByteArray> expected{"'WendelSaver INI file "};
    expected.insert(expected.end(), settingsLines.begin(), settingsLines.end());
    expected.push_back("Do Not Edit This File!!!");
    if (static_cast<std::size_t>(lines.size()) != expected.size()) {
        return ::testing::AssertionFailure() << lines.size() << " lines instead of "
                                             << expected.size() << ": "
                                             << Quoted(file->left(400));
    }
    if (!lines[0].startsWith(expected[0])) {
        return ::testing::AssertionFailure() << "line 1 is " << Quoted(lines[0]);
    }
    for (std::size_t i = 1; i < expected.size(); ++i) {
        const QByteArray& line = lines[static_cast<qsizetype>(i)];
        if (line != expected[i]) {
            return ::testing::AssertionFailure()
                   << "line " << i + 1 << " is " << Quoted(line.left(200))
                   << ", expected " << Quoted(expected[i].left(200));
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace wendel::e2e
