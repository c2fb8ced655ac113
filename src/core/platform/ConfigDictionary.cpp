#include "ConfigDictionary.h"

#include "DataFolder.h"
#include "PropertyList.h"
#include "core/util/Logging.h"

#include <QDir>
#include <QFileInfo>

ConfigDictionary::ConfigDictionary(QString file)
    : m_file(std::move(file))
{
    load();
}

void ConfigDictionary::load()
{
    m_values = PropertyList::read(m_file).value_or(QVariantMap());
}

bool ConfigDictionary::save() const
{
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    return PropertyList::write(m_values, m_file);
}
