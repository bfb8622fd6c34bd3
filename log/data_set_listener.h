#pragma once

class TField;

// What a view of the log table hears. Calls come on the user-interface thread while the table holds its lock;
// a listener may read the table from inside them.
class TDataSetListener {
public:
    virtual ~TDataSetListener() = default;
    // The records, their order or the current record changed: re-read everything shown.
    virtual void DataSetChanged() = 0;
    // One field of the current record got a new value.
    virtual void FieldChanged(const TField& field) = 0;
    // The table went between browse, insert and edit.
    virtual void StateChanged() = 0;
};
