#pragma once

#include <string>

// Named parts of the window (connection, transaction, query, table...). The owner only names the chain here;
// lifetime is handled by the owner's members.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr, std::string name = {})
        : m_owner(owner), m_name(std::move(name)) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    TComponent* Owner() const { return m_owner; }
    void SetOwner(TComponent* owner) { m_owner = owner; }

    // The names of this component and its owners, outermost first, joined with "."; owners without a name are
    // left out ("Form1.FDB").
    std::string FullName() const;

private:
    TComponent* m_owner;
    std::string m_name;
};
