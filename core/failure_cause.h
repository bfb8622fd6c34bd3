#pragma once

#include <string>

// Why a cycle or an attach failed, as a small closed set with stable names: the names are the metrics'
// cause label, the jsonl rows' "cause" and the word every view shows, so they never change.
enum class TFailureCause {
    Network,   // the link broke or the host cannot be reached
    NoAnswer,  // a call or an attach went unanswered beyond its limit
    Shutdown,  // the database or the attachment was shut down, the server ended
    Login,     // user or password refused
    Database,  // the database file is missing or cannot be opened
    Statement, // the server answered and the statement failed
    Client,    // our side: conversion, transliteration, the client library
};
inline constexpr TFailureCause kAllFailureCauses[] = {
    TFailureCause::Network,  TFailureCause::NoAnswer,  TFailureCause::Shutdown, TFailureCause::Login,
    TFailureCause::Database, TFailureCause::Statement, TFailureCause::Client,
};

const char* CauseName(TFailureCause cause);

// A failure understood: its cause and its reason, the most specific line of the error in the code page
// (never the SQLCODE sentence, never the sender). The error's own text stays as it was, in the row.
struct TFailure {
    TFailureCause cause = TFailureCause::Client;
    std::string reason;
};

// "network — Error writing data to the connection.": how every view names a failure (UTF-8, the reason
// converted from the code page).
std::string FailureText(const TFailure& failure);
