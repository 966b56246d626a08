/* The write floor: the least a splitter must do to turn an mbox file into
 * one CR LF file per message. It cuts where parcelo cuts by default (a
 * "From " line followed by a header with Date and From fields) so that both
 * write the same messages, and otherwise does nothing but open, write and
 * close: no names, no dates, no file times, no byte check.
 *
 *     floor_split MAILBOX OUTDIR
 *
 * Files go to OUTDIR/<mailbox name without extension>/00000001.eml, ...
 * Prints the number of messages written.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { READ_CHUNK = 4 << 20, OUT_CHUNK = 1 << 20 };

static char *buf;          /* mailbox bytes [start, end) not yet consumed */
static size_t cap, start, end;
static int in_fd, at_eof;

static char out[OUT_CHUNK + 8];
static size_t out_len;
static int out_fd = -1;
static unsigned long count;
static char dir[4096];

static void die(const char *what)
{
    perror(what);
    exit(2);
}

/* Moves the unconsumed bytes to the front and reads more; false at the end. */
static int fill(void)
{
    if (at_eof)
        return 0;
    if (start > 0) {
        memmove(buf, buf + start, end - start);
        end -= start;
        start = 0;
    }
    if (cap - end < READ_CHUNK) {
        cap = cap * 2 + READ_CHUNK;
        buf = realloc(buf, cap);
        if (!buf)
            die("realloc");
    }
    ssize_t n = read(in_fd, buf + end, cap - end);
    if (n < 0)
        die("read");
    if (n == 0) {
        at_eof = 1;
        return 0;
    }
    end += (size_t)n;
    return 1;
}

/* Offset of the LF ending the line at `pos`, reading on as needed; the
 * buffer may move, so callers keep offsets relative to `start`. -1: the
 * line runs to the end of the file. */
static long line_end(size_t rel)
{
    for (;;) {
        char *p = memchr(buf + start + rel, '\n', end - start - rel);
        if (p)
            return p - (buf + start);
        if (!fill())
            return -1;
    }
}

static int separator(const char *s, size_t len)
{
    if (len < 6 || memcmp(s, "From ", 5) != 0 || s[len - 1] != '\n')
        return 0;
    for (size_t i = 5; i < len; i++)
        if (s[i] != ' ' && s[i] != '\t')
            return s[i] != ':';
    return 0;
}

static size_t field_colon(const char *s, size_t len)
{
    const char *c = memchr(s, ':', len);
    if (!c)
        return 0;
    size_t colon = (size_t)(c - s), p = colon;
    for (size_t i = 0; i < colon; i++) {
        unsigned char b = (unsigned char)s[i];
        if (b < 33) {
            p = i;
            break;
        }
        if (b > 126)
            return 0;
    }
    if (p == 0)
        return 0;
    for (size_t i = p; i < colon; i++)
        if (s[i] != ' ' && s[i] != '\t')
            return 0;
    return colon + 1;
}

/* Is the block after the separator line ending at `rel` (exclusive) a
 * valid header: a field line first, and "date" and "from" lines in it. */
static int valid_header(size_t rel)
{
    int seen = 0, first = 1;
    for (;;) {
        long e = line_end(rel);
        if (e < 0)
            return 0;
        const char *s = buf + start + rel;
        size_t len = (size_t)e - rel + 1;
        size_t c = field_colon(s, len);
        if (first && c <= 1)
            return 0;
        if (c > 4) {
            if (strncasecmp(s, "date", 4) == 0)
                seen |= 1;
            else if (strncasecmp(s, "from", 4) == 0)
                seen |= 2;
            if (seen == 3)
                return 1;
        } else if (!first && (len == 1 || (len == 2 && s[0] == '\r'))) {
            return 0;
        }
        first = 0;
        rel = (size_t)e + 1;
    }
}

static void flush_out(void)
{
    size_t done = 0;
    while (done < out_len) {
        ssize_t n = write(out_fd, out + done, out_len - done);
        if (n < 0)
            die("write");
        done += (size_t)n;
    }
    out_len = 0;
}

static void put_line(const char *s, size_t len)
{
    /* len includes the LF; drop a CR before it, then end with CR LF */
    size_t body = len;
    if (body && s[body - 1] == '\n')
        body--;
    if (body && s[body - 1] == '\r')
        body--;
    while (body > 0) {
        size_t room = OUT_CHUNK - out_len;
        size_t n = body < room ? body : room;
        memcpy(out + out_len, s, n);
        out_len += n;
        s += n;
        body -= n;
        if (out_len == OUT_CHUNK)
            flush_out();
    }
    out[out_len++] = '\r';
    out[out_len++] = '\n';
    if (out_len >= OUT_CHUNK)
        flush_out();
}

static void close_message(void)
{
    if (out_fd < 0)
        return;
    flush_out();
    if (close(out_fd) != 0)
        die("close");
    out_fd = -1;
}

static void open_message(void)
{
    char path[4200];
    close_message();
    snprintf(path, sizeof path, "%s/%08lu.eml", dir, ++count);
    out_fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out_fd < 0)
        die(path);
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: floor_split MAILBOX OUTDIR\n");
        return 2;
    }
    in_fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (in_fd < 0)
        die(argv[1]);
    const char *base = strrchr(argv[1], '/');
    base = base ? base + 1 : argv[1];
    const char *dot = strrchr(base, '.');
    int stem = dot && dot != base ? (int)(dot - base) : (int)strlen(base);
    snprintf(dir, sizeof dir, "%s/%.*s", argv[2], stem, base);
    if (mkdir(argv[2], 0755) != 0 && errno != EEXIST)
        die(argv[2]);
    if (mkdir(dir, 0755) != 0 && errno != EEXIST)
        die(dir);

    cap = 2 * READ_CHUNK;
    buf = malloc(cap);
    if (!buf)
        die("malloc");
    for (;;) {
        long e = line_end(0);
        size_t len = e < 0 ? end - start : (size_t)e + 1;
        if (len == 0)
            break;
        if (separator(buf + start, len) && valid_header(len)) {
            open_message();
        } else if (out_fd >= 0) {
            put_line(buf + start, len); /* the lookahead may have moved buf */
        } else if (count == 0) {
            fprintf(stderr, "%s: not an mbox file with a valid first header\n", argv[1]);
            return 1;
        }
        start += len;
    }
    close_message();
    printf("%lu\n", count);
    return 0;
}
