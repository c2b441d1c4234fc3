// The unattended run's command line: one table of names, Windows style (/NAME=value, any case)
// and GNU style (--name=value).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Options.h"

namespace kurdb {
namespace {

// The options as one comparable line; "" marks an option left to its default.
std::string Describe(const UnattendedOptions& o) {
    auto opt = [](const std::optional<std::string>& v) { return v ? "'" + *v + "'" : std::string("-"); };
    auto yn = [](bool b) { return b ? std::string("y") : std::string("n"); };
    return std::string(o.machine == MachineKind::Main ? "main" : "terminal") + " server=" + opt(o.server) +
           " user=" + opt(o.user) + " password=" + opt(o.password) + " file=" + opt(o.passwordFile) +
           " save=" + yn(o.save) + " create=" + (o.create ? yn(*o.create) : "-") +
           " shortcuts=" + yn(o.shortcuts) + " updater=" + yn(o.updater) + " open=" + yn(o.openCompany) +
           " engine=" + yn(o.engineInstall) + " log=" + opt(o.log) + " help=" + yn(o.help) +
           (o.showWindow ? " window" : "");
}

struct Case {
    OptionStyle style;
    std::vector<std::string> args;
    std::string expected;  // Describe() of the result, or "error: " + a part of the message
};

const std::string kDefaults =
    "terminal server=- user=- password=- file=- save=y create=- shortcuts=y updater=y open=n engine=n log=- "
    "help=n";

TEST(UnattendedOptions, ParseByTheOneTableInEitherStyle) {
    const std::vector<Case> cases = {
        {OptionStyle::Windows, {"/VERYSILENT"}, kDefaults},
        {OptionStyle::Gnu, {"--verysilent"}, kDefaults},
        // the window walking itself; the last of the two quiet options holds
        {OptionStyle::Windows, {"/Silent"}, kDefaults + " window"},
        {OptionStyle::Windows, {"/SILENT", "/VERYSILENT"}, kDefaults},
        {OptionStyle::Gnu, {"--verysilent", "--silent"}, kDefaults + " window"},
        // Windows: names in any case, values of yes/no and machine too
        {OptionStyle::Windows,
         {"/verysilent", "/Machine=MAIN", "/SERVER=SUNUCU\\SQLEXPRESS", "/user=sa", "/PassWord=a=b;c",
          "/SAVE=No", "/CREATE=no", "/SHORTCUTS=NO", "/UPDATER=no", "/OPENCOMPANY=Yes", "/ENGINEINSTALL=YES",
          "/LOG=C:\\Günlük\\kurdb.log"},
         "main server='SUNUCU\\SQLEXPRESS' user='sa' password='a=b;c' file=- save=n create=n shortcuts=n "
         "updater=n open=y engine=y log='C:\\Günlük\\kurdb.log' help=n"},
        // GNU: lower-case names; a bare LOG means the default file
        {OptionStyle::Gnu,
         {"--machine=terminal", "--server=10.0.0.5,1433", "--password-file=-", "--create=yes", "--log"},
         "error: Bilinmeyen seçenek: --password-file=-"},
        {OptionStyle::Gnu,
         {"--machine=terminal", "--server=10.0.0.5,1433", "--passwordfile=-", "--create=yes", "--log"},
         "terminal server='10.0.0.5,1433' user=- password=- file='-' save=y create=y shortcuts=y updater=y "
         "open=n engine=n log='' help=n"},
        {OptionStyle::Gnu, {"--SERVER=x"}, "error: Bilinmeyen seçenek: --SERVER=x"},
        {OptionStyle::Gnu, {"/server=x"}, "error: Tanınmayan bağımsız değişken: /server=x"},
        {OptionStyle::Windows, {"--server=x"}, "error: Tanınmayan bağımsız değişken: --server=x"},
        {OptionStyle::Windows, {"/?"}, "error-free help"},
        {OptionStyle::Gnu, {"--help"}, "error-free help"},
        {OptionStyle::Windows, {"/SERVER"}, "error: /SERVER bir değer ister"},
        {OptionStyle::Windows, {"/SERVER="}, "error: /SERVER bir değer ister"},
        {OptionStyle::Windows, {"/VERYSILENT=1"}, "error: /VERYSILENT değer almaz"},
        {OptionStyle::Windows, {"/SAVE"}, "error: /SAVE için yes ya da no"},
        {OptionStyle::Gnu, {"--save=evet"}, "error: --save için yes ya da no"},
        {OptionStyle::Windows, {"/MACHINE=server"}, "error: /MACHINE için main ya da terminal"},
        {OptionStyle::Windows, {"/PASSWORD=x", "/PASSWORDFILE=y"}, "error: PASSWORD ile PASSWORDFILE"},
        {OptionStyle::Windows, {"/SERVER=x", "SERVER=y"}, "error: Tanınmayan bağımsız değişken: SERVER=y"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const ParsedOptions parsed = ParseOptions(c.args, c.style);
        if (c.expected == "error-free help") {
            EXPECT_EQ(parsed.error, "");
            EXPECT_TRUE(parsed.options.help);
        } else if (c.expected.rfind("error: ", 0) == 0) {
            EXPECT_NE(parsed.error.find(c.expected.substr(7)), std::string::npos) << parsed.error;
        } else {
            EXPECT_EQ(parsed.error, "");
            EXPECT_EQ(Describe(parsed.options), c.expected);
        }
    }
}

TEST(UnattendedOptions, HelpListsEveryOptionInTheStyleAndWarnsAboutThePasswordOnTheCommandLine) {
    const std::string windows = OptionsHelp(OptionStyle::Windows), gnu = OptionsHelp(OptionStyle::Gnu);
    for (const char* name : {"SILENT", "VERYSILENT", "MACHINE=main|terminal",
                             "SERVER=", "USER=", "PASSWORD=", "PASSWORDFILE=", "SAVE=yes|no", "CREATE=yes|no",
                             "SHORTCUTS=yes|no", "UPDATER=yes|no", "OPENCOMPANY=yes|no",
                             "ENGINEINSTALL=yes|no", "LOG[=", "HELP"}) {
        EXPECT_NE(windows.find(std::string("/") + name), std::string::npos) << name;
        std::string lower(name);
        for (char& ch : lower)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        EXPECT_NE(gnu.find("--" + lower), std::string::npos) << name;
    }
    EXPECT_NE(windows.find("diğer kullanıcılarınca görülebilir"), std::string::npos);
    EXPECT_NE(windows.find("KURDB_PASSWORD"), std::string::npos);
}

}  // namespace
}  // namespace kurdb
