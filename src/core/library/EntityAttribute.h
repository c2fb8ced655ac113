// Describes one stored attribute of a library entity: its column name (the
// attribute's exact name) and the struct member that holds it. The generic
// store code reads and writes entities through these descriptions.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <variant>

enum class AttributeType { Integer, Real, String, Date };

template <class T> struct EntityAttribute {
    using Member = std::variant<std::optional<qint64> T::*, std::optional<double> T::*,
        std::optional<QString> T::*, std::optional<QDateTime> T::*>;

    const char *name;
    Member member;

    AttributeType type() const { return AttributeType(member.index()); }
};

#define TAVRO_ATTRIBUTE(Entity, attribute)                                                                   \
    EntityAttribute<Entity>                                                                                  \
    {                                                                                                        \
#attribute, &Entity::attribute                                                                       \
    }
