// The entry sheet: name and e-mail for an entry link of an information
// article (a registration for an event or a sample), sent to the store's
// "/api/entry"; the answer's message is shown, then the sheet ends with 1.
// "閉じる" ends it with 2. Owned by its parent. Main thread only.
#pragma once

#include "core/top/EntryForm.h"

#include <QDialog>
#include <QVariantMap>

class QLineEdit;
class VamoManager;

class EntryController : public QDialog
{
    Q_OBJECT
public:
    EntryController(const ServerConfig &servers, VamoManager &vamo, QWidget *parent);

    // The entry link's query ("provider", "item").
    QVariantMap query;
    void setName(const QString &name, const QString &mail);
    QLineEdit *nameField() const { return m_nameField; }
    QLineEdit *mailField() const { return m_mailField; }

    // Sends the entry and shows the answer's message; ends with 1.
    void registAction();
    // Ends with 2.
    void closeAction() { done(2); }

private:
    EntryForm m_form;
    VamoManager &m_vamo;
    QLineEdit *m_nameField;
    QLineEdit *m_mailField;
};
