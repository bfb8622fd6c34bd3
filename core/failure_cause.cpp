#include "core/failure_cause.h"

#include "core/text_codec.h"

const char* CauseName(TFailureCause cause) {
    switch (cause) {
    case TFailureCause::Network:
        return "network";
    case TFailureCause::NoAnswer:
        return "no_answer";
    case TFailureCause::Shutdown:
        return "shutdown";
    case TFailureCause::Login:
        return "login";
    case TFailureCause::Database:
        return "database";
    case TFailureCause::Statement:
        return "statement";
    case TFailureCause::Client:
        return "client";
    }
    return "client";
}

std::string FailureText(const TFailure& failure) {
    std::string text = CauseName(failure.cause);
    if (!failure.reason.empty())
        text += " \u2014 " + FromCp1251(failure.reason).toStdString();
    return text;
}
