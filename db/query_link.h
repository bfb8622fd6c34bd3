#pragma once

#include "db/transaction_action.h"

class TFbBaseDatabase;
class TFbBaseTransaction;

// What a query registers with its connection and its transaction, so that both can reach it: the connection
// when it attaches, detaches, is found lost or is destroyed; the transaction when it starts, ends or is destroyed.
class TFbQueryLink {
public:
    virtual ~TFbQueryLink() = default;

    virtual void DatabaseAttaching(TFbBaseDatabase& database) = 0;
    virtual void DatabaseAttached(TFbBaseDatabase& database) = 0;
    // The statement is to be freed on the server while the attachment still exists.
    virtual void DatabaseDetaching(TFbBaseDatabase& database) = 0;
    virtual void DatabaseDetached(TFbBaseDatabase& database) = 0;
    // The attachment died: forget the statement handle and the cursor without calling the server.
    virtual void DatabaseLost(TFbBaseDatabase& database) = 0;
    // The connection object goes away: drop every reference to it (it has already unregistered the link).
    virtual void DatabaseFreeing(TFbBaseDatabase& database) = 0;

    virtual void TransactionStarting(TFbBaseTransaction& transaction) = 0;
    virtual void TransactionStarted(TFbBaseTransaction& transaction) = 0;
    virtual void TransactionEnding(TFbBaseTransaction& transaction, TTransactionAction action) = 0;
    virtual void TransactionEnded(TFbBaseTransaction& transaction, TTransactionAction action) = 0;
    // The transaction object goes away: drop every reference to it (it has already unregistered the link).
    virtual void TransactionFreeing(TFbBaseTransaction& transaction) = 0;
};
