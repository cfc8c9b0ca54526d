#pragma once

#include <QTest>

// A column of the current data row, as an expression (QFETCH declares a variable instead).
#define FETCHED(Type, name) (*static_cast<Type *>(QTest::qData(#name, ::qMetaTypeId<Type>())))
