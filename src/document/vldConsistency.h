#pragma once
// The one check of what every loaded document must be, whatever its file held: used by the
// damaged-file tests, the corpus test and the fuzz targets alike, so that they all hold a load
// to the same standard.

#include <QString>

class TDocument;

// Empty when Doc is consistent: at least one section, every section a paragraph whose text,
// fonts and timestamps are in step with finite moments and valid font indices; every anchored
// listing names an inset anchored to that paragraph, once; every anchor names a paragraph of
// the document that lists it; font 0 exists; the caret is on a real place. Otherwise the first
// fault found, in words.
QString DocumentConsistencyFault(const TDocument &Doc);
