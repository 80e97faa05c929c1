// The runtime functions of emscripten 3.1.6 that read or write pointer-sized values, written for
// 64-bit pointers (MEMORY64). As shipped, they read each iovec as two 32-bit words, write sizes
// as 32-bit words and mix the BigInt pointers the module passes with numbers, so that the first
// printf loops for ever and the first file write stops the module. Each is replaced whole.
mergeInto(LibraryManager.library, {
  $wide64: {
    iovecs: function(iov, iovcnt, each) {
      iov = Number(iov);
      iovcnt = Number(iovcnt);
      var total = 0;
      for (var i = 0; i < iovcnt; i++) {
        var ptr = Number(HEAP64[(iov + 16 * i) >> 3]);
        var len = Number(HEAP64[(iov + 16 * i + 8) >> 3]);
        var done = each(ptr, len);
        if (done < 0) return -1;
        total += done;
        if (done < len) break;
      }
      return total;
    },
    // One read or write of the iovecs through `move` (FS.read or FS.write), at `offset` or, when
    // it is undefined, at the stream's position; the bytes moved go into `pnum`.
    transfer: function(move, fd, iov, iovcnt, offset, pnum) {
      try {
        var stream = SYSCALLS.getStreamFromFD(fd);
        var at = offset === undefined ? undefined : Number(offset);
        var num = wide64.iovecs(iov, iovcnt, function(ptr, len) {
          var n = move(stream, HEAP8, ptr, len, at);
          if (at !== undefined) at += n;
          return n;
        });
        HEAP64[Number(pnum) >> 3] = BigInt(num);
        return 0;
      } catch (e) {
        if (typeof FS == 'undefined' || !(e instanceof FS.ErrnoError)) throw e;
        return e.errno;
      }
    },
  },
  fd_write__deps: ['$wide64'],
  fd_write: function(fd, iov, iovcnt, pnum) {
    return wide64.transfer(FS.write, fd, iov, iovcnt, undefined, pnum);
  },
  fd_pwrite__deps: ['$wide64'],
  fd_pwrite: function(fd, iov, iovcnt, offset, pnum) {
    return wide64.transfer(FS.write, fd, iov, iovcnt, offset, pnum);
  },
  fd_read__deps: ['$wide64'],
  fd_read: function(fd, iov, iovcnt, pnum) {
    return wide64.transfer(FS.read, fd, iov, iovcnt, undefined, pnum);
  },
  fd_pread__deps: ['$wide64'],
  fd_pread: function(fd, iov, iovcnt, offset, pnum) {
    return wide64.transfer(FS.read, fd, iov, iovcnt, offset, pnum);
  },
  fd_seek: function(fd, offset, whence, newOffset) {
    try {
      var stream = SYSCALLS.getStreamFromFD(fd);
      var at = Number(offset);
      if (!Number.isSafeInteger(at)) return {{{ cDefine('EOVERFLOW') }}};
      FS.llseek(stream, at, whence);
      HEAP64[Number(newOffset) >> 3] = BigInt(stream.position);
      if (stream.getdents && at === 0 && whence === 0) stream.getdents = null;
      return 0;
    } catch (e) {
      if (typeof FS == 'undefined' || !(e instanceof FS.ErrnoError)) throw e;
      return e.errno;
    }
  },
  emscripten_memcpy_big: function(dest, src, num) {
    var to = Number(dest), from = Number(src);
    HEAPU8.copyWithin(to, from, from + Number(num));
    return dest;
  },
  environ_sizes_get__deps: ['$getEnvStrings'],
  environ_sizes_get: function(pcount, psize) {
    var strings = getEnvStrings();
    var size = 0;
    strings.forEach(function(s) { size += s.length + 1; });
    HEAP64[Number(pcount) >> 3] = BigInt(strings.length);
    HEAP64[Number(psize) >> 3] = BigInt(size);
    return 0;
  },
  environ_get__deps: ['$getEnvStrings'],
  environ_get: function(environ, buffer) {
    environ = Number(environ); buffer = Number(buffer);
    var size = 0;
    getEnvStrings().forEach(function(s, i) {
      var ptr = buffer + size;
      HEAP64[(environ + 8 * i) >> 3] = BigInt(ptr);
      writeAsciiToMemory(s, ptr);
      size += s.length + 1;
    });
    return 0;
  },
  emscripten_resize_heap__deps: ['$emscripten_realloc_buffer'],
  emscripten_resize_heap: function(requestedSize) {
    requestedSize = Number(requestedSize);
    var oldSize = HEAPU8.length;
    var maxSize = {{{ Math.min(MAXIMUM_MEMORY, FOUR_GB - WASM_PAGE_SIZE) }}};
    if (requestedSize > maxSize) return 0;
    var alignUp = function(x, multiple) { return x + (multiple - x % multiple) % multiple; };
    for (var cutDown = 1; cutDown <= 4; cutDown *= 2) {
      var overGrown = Math.min(oldSize * (1 + 0.2 / cutDown), requestedSize + 100663296);
      var newSize = Math.min(maxSize, alignUp(Math.max(requestedSize, overGrown), 65536));
      if (emscripten_realloc_buffer(newSize)) return 1;
    }
    return 0;
  },
  time: function(ptr) {
    var now = BigInt(Math.floor(Date.now() / 1000));
    if (ptr) HEAP64[Number(ptr) >> 3] = now;
    return now;
  },
});
