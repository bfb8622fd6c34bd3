#include "app/state_line.h"

#include "core/text_codec.h"

namespace {
QString LengthText(int64_t ms) {
    const int64_t seconds = ms / 1000;
    if (seconds < 60)
        return QString("%1 s").arg(seconds);
    if (seconds < 3600)
        return QString("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QString("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

QString TimeOfDay(int64_t ms) {
    const int64_t second = ms / 1000 % 86400;
    return QString("%1:%2:%3")
        .arg(second / 3600, 2, 10, QChar('0'))
        .arg(second / 60 % 60, 2, 10, QChar('0'))
        .arg(second % 60, 2, 10, QChar('0'));
}
} // namespace

QString StateLineText(const TOutageLedger::TState& state, const QString& target) {
    if (!state.running)
        return state.attachingMs ? QString("Attaching to %1 (%2)").arg(target, LengthText(*state.attachingMs))
                                 : QString("Stopped");
    if (!state.outage)
        return "Running";
    const TOutage& outage = *state.outage;
    QString text = QString("Outage since %1 (%2): ")
                       .arg(TimeOfDay(outage.startMs), LengthText(outage.endMs - outage.startMs)) +
                   QString::fromStdString(FailureText(outage.failure));
    if (outage.failedReattaches > 0)
        text += QString("; %1 re-attach attempt%2 failed; last: %3")
                    .arg(outage.failedReattaches)
                    .arg(outage.failedReattaches == 1 ? "" : "s")
                    .arg(FromCp1251(outage.lastReattach.reason));
    return text;
}
