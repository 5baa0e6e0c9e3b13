// The document's destination commands: save it under a name of the user's (at another width
// too), make it the source, discard it.
#pragma once

#include <string>

#include "core/run_state.h"
#include "document/zanto_document.h"

namespace ztlive {

// A new file at path with the channels and rate of source and bitsPerSample (8, 16, 20 or
// 24), filled 4096 samples at a time. 20-bit samples keep their top 20 bits. 1 done, 0
// failed (reported).
int ConvertBits(const std::string& source, const std::string& path, int bitsPerSample, RunState& run, Prompts& prompts);

// The name a save dialog suggests for the destination: a numbered variant of the source.
std::string SuggestDestinationName(const CZantoDoc& document);

// Copies (or converts, for another width) the destination to path with its peak file; a
// temporary destination is deleted afterwards. 1 saved, 0 refused, declined or failed.
int SaveDestinationAs(CZantoDoc& document, const std::string& path, int bitsPerSample, RunState& run);

// The destination becomes a document of its own: a temporary one is moved to path first
// (path is ignored for a saved one). Returns the file to open as the new source, or empty
// when nothing was done; this document's destination is cleared.
std::string MakeDestinationTheSource(CZantoDoc& document, const std::string& path);

// Closes the destination. Only a temporary destination is deleted (with its peak file); one
// saved under a name of the user's stays where it is.
void DiscardDestination(CZantoDoc& document);

// Moves a temporary source (a recovered file) to path with its peak file; the document's
// source becomes path. 1 moved, 0 refused, declined or failed (reported).
int SaveTemporarySource(CZantoDoc& document, const std::string& path);

// Deletes what of the document lives in the temporary folder and was not saved: a temporary
// destination and a temporary source, each with its peak file. For a document being closed.
void DeleteTemporaryFiles(CZantoDoc& document);

}  // namespace ztlive
