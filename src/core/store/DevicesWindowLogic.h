// The device list shown when an account already has three devices: three
// slots, each releasable. The sheet itself is a thin view over this class.
// Main thread only.
#pragma once

#include <QStringList>
#include <QVariantList>

class DevicesWindowLogic;
class MessagePresenter;
class StoreManager;

class DevicesWindowDelegate
{
public:
    virtual ~DevicesWindowDelegate() = default;
    virtual void didDevicesWindow(DevicesWindowLogic *sheet, bool success) = 0;
};

class DevicesWindowLogic
{
public:
    DevicesWindowLogic(StoreManager &store, MessagePresenter &messages);

    // The "unitList" records: "id", "unit_name", "last_date".
    QVariantList devices;
    DevicesWindowDelegate *parent = nullptr;

    // The three slot labels "unit_name last_date" (empty for a missing one).
    QStringList redisp() const;
    // Releases the device in slot `index` (0-2); on success the parent is
    // told and "accountLift" becomes "0"; a refusal is shown and the sheet
    // stays.
    void unlock(int index);
    void tap1() { unlock(0); }
    void tap2() { unlock(1); }
    void tap3() { unlock(2); }
    void tapCancel();

private:
    StoreManager &m_store;
    MessagePresenter &m_messages;
};
