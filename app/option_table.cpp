#include "app/option_table.h"

#include "core/exceptions.h"

#include <QString>
#include <algorithm>

const std::vector<TOption>& OptionTable() {
    static const std::vector<TOption> options = {
        Option::Help,     Option::Version,      Option::Journal,      Option::Headless,  Option::DailyJournal,
        Option::Database, Option::User,         Option::PasswordFile, Option::Sql,       Option::SqlFile,
        Option::Period,   Option::Amount,       Option::Duration,     Option::Format,    Option::Config,
        Option::Metrics,  Option::MetricsUsers, Option::Target,       Option::CallLimit,
    };
    return options;
}

std::string HelpSentence(const TOption& option) {
    std::string sentence = option.Help;
    if (option.IsNumber())
        sentence += ", " + std::to_string(option.Least) + " to " + std::to_string(option.Most);
    std::string aside;
    if (option.IsNumber())
        aside = std::to_string(option.Default) + " when not given";
    else if (*option.DefaultText != '\0')
        aside = std::string(option.DefaultText) + " when not given";
    if (*option.SettingsKey != '\0')
        aside += (aside.empty() ? "" : "; ") + std::string("the window: ") + option.SettingsKey +
                 "= in its settings file";
    return sentence + (aside.empty() ? "" : " (" + aside + ")") + ".";
}

std::string SettingsPath(const TOption& option) {
    return std::string("Form1\\") + option.SettingsKey;
}

int32_t Clamped(const TOption& option, int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, option.Least, option.Most));
}

int32_t CheckedNumber(const TOption& option, const std::string& text) {
    bool ok = false;
    const int value = QString::fromStdString(text).toInt(&ok);
    if (!ok || value < option.Least || value > option.Most)
        throw Exception(FormatText("option '--%s' takes a whole number from %d to %d", option.Name,
                                   option.Least, option.Most));
    return value;
}
