#include "app/command_line.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
TCommandLine Parsed(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/usr/bin/quorvane");
    return TCommandLine(arguments);
}
} // namespace

TEST(CommandLine, HelpAndVersionAreUnderstoodAndQtsOwnArgumentsLeftAlone) {
    EXPECT_FALSE(Parsed({}).IsSet("help"));
    EXPECT_EQ(Parsed({}).Respond(), std::nullopt);
    EXPECT_EQ(Parsed({"-platform", "offscreen"}).Respond(), std::nullopt);
    EXPECT_TRUE(Parsed({"--help"}).IsSet("help"));
    EXPECT_TRUE(Parsed({"-style", "fusion", "--version"}).IsSet("version"));

    const std::string help = Parsed({}).HelpText();
    EXPECT_EQ(help.rfind("Usage: quorvane [options]\n", 0), 0u) << help;
    EXPECT_NE(help.find("\n  --help                Show this help and exit.\n"), std::string::npos) << help;
    EXPECT_NE(help.find("\n  --version             Show the version and exit.\n"), std::string::npos) << help;
    EXPECT_EQ(Parsed({}).VersionText(), "quorvane " QUORVANE_VERSION "\n");
}

TEST(CommandLine, BadArgumentsAreNamedInOneLine) {
    EXPECT_EQ(Parsed({"--helpme"}).Error(), "unknown option '--helpme'");
    EXPECT_EQ(Parsed({"--version=2"}).Error(), "option '--version' takes no value");
    EXPECT_EQ(Parsed({"--help", "--no-such"}).Error(), "unknown option '--no-such'");
    EXPECT_EQ(Parsed({"--help"}).Error(), "");
    // The window leaves Qt its own options and their values, nothing else.
    EXPECT_EQ(Parsed({"-platform", "offscreen", "-reverse"}).Error(), "");
    EXPECT_EQ(Parsed({"extra"}).Error(), "unexpected argument 'extra'");
    EXPECT_EQ(Parsed({"-journal=run.tsv"}).Error(), "unknown option '-journal=run.tsv' (did you mean '--journal=run.tsv'?)");
}

TEST(CommandLine, OptionsWithValuesTakeTheNextArgumentOrTheTextAfterTheEqualsSign) {
    const std::vector<TOption> options = {{.Name = "period",
                                           .ValueName = "SECONDS",
                                           .Help = "Seconds between cycles",
                                           .Least = 1,
                                           .Most = 60,
                                           .Default = 5,
                                           .SettingsKey = "Period"},
                                          {.Name = "help", .Help = "Show this help and exit"}};
    const auto parsed = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "quorvane");
        return TCommandLine(arguments, options);
    };
    EXPECT_EQ(parsed({"--period", "5"}).Value("period"), "5");
    EXPECT_EQ(parsed({"--period=7", "--help"}).Value("period"), "7");
    EXPECT_EQ(parsed({"--period="}).Value("period"), "");
    EXPECT_TRUE(parsed({"--period="}).IsSet("period"));
    EXPECT_EQ(parsed({"--period"}).Error(), "option '--period' needs a value (SECONDS)");
    // The help tells the range, the default and the window's key as they are declared.
    EXPECT_NE(parsed({}).HelpText().find(
                  "\n  --period SECONDS      Seconds between cycles, 1 to 60 (5 when not given; the\n"
                  "                        window: Period= in its settings file).\n"),
              std::string::npos)
        << parsed({}).HelpText();
    EXPECT_EQ(parsed({}).Number(options[0]), 5);
    EXPECT_EQ(parsed({"--period", "60"}).Number(options[0]), 60);
}

TEST(CommandLine, TheProgramAnswersOnItsStreamsWithTheUsualExitCodes) {
    // A refusal quoting Cyrillic, which the code page holds, still reaches the terminal in UTF-8.
    QTemporaryDir dir;
    QFile config(dir.filePath("run.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("период = 5\n");
    config.close();
    const std::string configPath = config.fileName().toStdString();
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string out;
        std::string err;
    };
    for (const Case& c : {Case{{"--version"}, 0, "quorvane " QUORVANE_VERSION "\n", ""},
                          Case{{"--bogus"}, 2, "", "quorvane: unknown option '--bogus'\nTry 'quorvane --help'.\n"},
                          Case{{"--headless", "extra"}, 2, "",
                               "quorvane: unexpected argument 'extra'\nTry 'quorvane --help'.\n"},
                          Case{{"--headless", "--database", "db", "--duration", "nan"}, 2, "",
                               "quorvane: option '--duration' takes a time such as 3600, 90m, 12h or 7d\n"
                               "Try 'quorvane --help'.\n"},
                          Case{{"--headless", "--database", "db", "--config", config.fileName()}, 2, "",
                               "quorvane: " + configPath + ":1: unknown option 'период'\n"
                               "Try 'quorvane --help'.\n"},
                          Case{{"--call-limit", "0"}, 2, "",
                               "quorvane: option '--call-limit' takes a whole number from 1 to 3600\n"
                               "Try 'quorvane --help'.\n"}}) {
        QProcess program;
        program.start(QUORVANE_EXECUTABLE, c.arguments);
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitCode(), c.exitCode);
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), c.out);
        EXPECT_EQ(program.readAllStandardError().toStdString(), c.err);
    }
    QProcess program;
    program.start(QUORVANE_EXECUTABLE, {"--help"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput().toStdString(), Parsed({}).HelpText());
}
