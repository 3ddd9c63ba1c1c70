#pragma once

namespace qb {

// Which library makes the members' raw deflate streams. zlib's bytes are those of every earlier
// version's books; libdeflate takes about half zlib's time at the same level, and the books of
// real texts come out no larger. Either way a file's stream depends only on its bytes and the
// level, never on the number of workers.
enum class DeflateEngine { Zlib, Libdeflate };

}  // namespace qb
