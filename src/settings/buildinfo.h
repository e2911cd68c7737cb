#pragma once

#include <QString>

// The program's version and the source revision it was built from, as the build found them:
// the short commit of a git checkout ("+" when it had changes not committed), the commit
// stamped into a `git archive` tarball, or "unknown".
class BuildInfo
{
public:
    static QString version();
    static QString revision();
    // "0.1, commit 37470fa", or just the version when the revision is unknown.
    static QString text();
};
