#pragma once

#include <functional>

class TFbBaseTransaction;

// How a transaction ends; the order is the one stored settings use.
enum TTransactionAction { TARollback, TARollbackRetaining, TACommit, TACommitRetaining };

// Called around the end of a transaction: the ending transaction, how it ends, and whether it is forced.
using TEndTrEvent = std::function<void(TFbBaseTransaction& endingTR, TTransactionAction action, bool force)>;

// A retaining action as the plain one: for endings that must leave no transaction behind.
inline TTransactionAction WithoutRetaining(TTransactionAction action) {
    return action == TACommitRetaining ? TACommit : action == TARollbackRetaining ? TARollback : action;
}
