// The library as the rest of the application sees it: the one store file
// and the repositories over it, handed down as one small value where a class
// needs more than one of them. Only the program's start-up (and a command of
// tavro-inspect, a test or a benchmark) opens a LibraryStore; everything else
// receives a Library or the one repository it needs.
//
// A Library refers to its store and owns nothing: the store must outlive it
// and every repository taken from it. Copies are cheap and refer to the same
// store. Threads: those of the store (one thread per store).
#pragma once

#include "AccountRepository.h"
#include "AnnotationRepository.h"
#include "BookRepository.h"
#include "DictionaryCatalogue.h"
#include "NewsCacheRepository.h"
#include "ReadingLogRepository.h"

class LibraryStore;

class Library
{
public:
    explicit Library(LibraryStore &store)
        : m_store(&store)
    {
    }

    LibraryStore &store() const { return *m_store; }
    BookRepository books() const { return BookRepository(*m_store); }
    AnnotationRepository annotations() const { return AnnotationRepository(*m_store); }
    ReadingLogRepository readingLogs() const { return ReadingLogRepository(*m_store); }
    DictionaryCatalogue dictionaries() const { return DictionaryCatalogue(*m_store); }
    AccountRepository account() const { return AccountRepository(*m_store); }
    NewsCacheRepository news() const { return NewsCacheRepository(*m_store); }

private:
    LibraryStore *m_store;
};
