#pragma once

#include "db/query_link.h"

#include <string>
#include <vector>

// Notes every notice a connection or transaction sends to a query, in order.
class TRecordingQueryLink : public TFbQueryLink {
public:
    std::vector<std::string> notices;

    void DatabaseAttaching(TFbBaseDatabase&) override { notices.push_back("attaching"); }
    void DatabaseAttached(TFbBaseDatabase&) override { notices.push_back("attached"); }
    void DatabaseDetaching(TFbBaseDatabase&) override { notices.push_back("detaching"); }
    void DatabaseDetached(TFbBaseDatabase&) override { notices.push_back("detached"); }
    void DatabaseLost(TFbBaseDatabase&) override { notices.push_back("lost"); }
    void DatabaseFreeing(TFbBaseDatabase&) override { notices.push_back("database freeing"); }
    void TransactionStarting(TFbBaseTransaction&) override { notices.push_back("starting"); }
    void TransactionStarted(TFbBaseTransaction&) override { notices.push_back("started"); }
    void TransactionEnding(TFbBaseTransaction&, TTransactionAction action) override {
        notices.push_back("ending " + std::to_string(action));
    }
    void TransactionEnded(TFbBaseTransaction&, TTransactionAction action) override {
        notices.push_back("ended " + std::to_string(action));
    }
    void TransactionFreeing(TFbBaseTransaction&) override { notices.push_back("transaction freeing"); }
};
