#include "app/open_with_shell.h"

#include "core/text_codec.h"

#include <QProcess>
#include <QWidget>
#include <map>

namespace {
constexpr int AnswerSuccess = 33;
constexpr int AnswerFileNotFound = 2;
constexpr int AnswerOutOfResources = 0;
constexpr int AnswerAssociationIncomplete = 27;
constexpr int AnswerNoAssociation = 31;
// The opener normally hands the address over and ends at once; one that runs longer has accepted it.
constexpr int OpenerAnswerTimeoutMs = 3000;
} // namespace

std::string ShellAnswerMessage(int answer) {
    static const std::map<int, std::string> messages = {
        {0, "The operating system is out of memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied access to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred."},
        {27, "The filename association is incomplete or invalid."},
        {28, "The DDE transaction could not be completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not be completed because other DDE transactions were being processed."},
        {31, "There is no application associated with the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
    };
    const auto found = messages.find(answer);
    return found == messages.end() ? std::string() : found->second;
}

int ShellAnswerFromOpenerExit(int exitCode) {
    switch (exitCode) {
    case 0:
        return AnswerSuccess;
    case -1: // no opener on this desktop
    case 3:  // the opener found no program for this kind of address
        return AnswerNoAssociation;
    case 1: // it refused the argument (an empty address, for instance)
    case 2: // the file does not exist
        return AnswerFileNotFound;
    case 4: // the program it chose failed
        return AnswerAssociationIncomplete;
    default:
        return AnswerOutOfResources;
    }
}

void OpenWithShell(QWidget* ownerWindow, const std::string& address) {
    // Parented to the window so that an opener still running after the wait is not killed with a local object.
    auto* opener = new QProcess(ownerWindow);
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    opener->start("xdg-open", {FromCp1251(address)});
    int exitCode = 0;
    if (!opener->waitForStarted()) {
        exitCode = -1;
        opener->deleteLater();
    } else if (opener->waitForFinished(OpenerAnswerTimeoutMs)) {
        exitCode = opener->exitStatus() == QProcess::NormalExit ? opener->exitCode() : 255;
    }
    const std::string message = ShellAnswerMessage(ShellAnswerFromOpenerExit(exitCode));
    if (!message.empty())
        throw EMyException(message);
}
