// Prints the tokens of the drawings for libFuzzer's dictionary, from the kinds this version registers:
// each kind's name and the names of the members it is stored with, so that a new kind is fuzzed with
// its own members without anyone listing them.
#include "models/Annotation.h"
#include "models/AnnotationMembers.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"

#include <QSet>

#include <cstdio>

int main()
{
    QSet<QString> printed;
    const auto print = [&printed](const QString &token) {
        if (printed.contains(token))
            return;
        printed.insert(token);
        std::printf("\"\\\"%s\\\"\"\n", token.toUtf8().constData());
    };
    for (const AnnotationShape *shape : AnnotationShapes::all()) {
        print(shape->kind());
        Annotation sample = shape->begin({0.25, 0.5});
        shape->extend(sample, {0.75, 0.5});
        const AnnotationMembers members = sample.members();
        for (const AnnotationMembers::Member &member : members.members())
            print(QString(member.name));
    }
    return 0;
}
