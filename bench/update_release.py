#!/usr/bin/env python3
# The release and the old installation of the update benchmarks (bench/update, bench/gui-update):
#   update_release.py MIRROR_FOLDER INSTALL_FOLDER WANT_FILE FILES MEGABYTES [LARGE_MEGABYTES]
# LARGE_MEGABYTES (default 0): one more file of that size, changed in the release (a scenery
# file that is hundreds of megabytes).
import hashlib, io, multiprocessing, os, random, sys, zipfile
mirror, inst, want_path, count, megabytes = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
large_mb = int(sys.argv[6]) if len(sys.argv) > 6 else 0
rng = random.Random(9)
big = max(1, count * 3 // 100)
small_total = megabytes * 10**6 // 2
big_size = (megabytes * 10**6 - small_total) // big
sizes = [big_size] * big + [max(1, int(rng.expovariate(1.0) * small_total / (count - big))) for _ in range(count - big)]
rng.shuffle(sizes)
paths = ["All/folder %02d/file %04d.dat" % (i % 40, i) for i in range(count)]
changed = set(rng.sample(range(count), count * 30 // 100))
if large_mb > 0:
    sizes.append(large_mb * 10**6)
    paths.append("All/scenery/large tile.dat")
    changed.add(count)
    count += 1
gone = ["All/folder %02d/retired %04d.dat" % (i % 40, i) for i in range(count * 5 // 100)]

def make(i):
    data = os.urandom(sizes[i])
    path = paths[i]
    os.makedirs(os.path.dirname(mirror + path), exist_ok=True)
    with zipfile.ZipFile(mirror + path + ".zip", "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo(os.path.basename(path))
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data)
    local = inst + path[path.index("/") + 1:]
    os.makedirs(os.path.dirname(local), exist_ok=True)
    old = os.urandom(sizes[i]) if i in changed else data
    with open(local, "wb") as f:
        f.write(old)
    return hashlib.md5(data).hexdigest(), hashlib.md5(old).hexdigest()

with multiprocessing.Pool(4) as pool:
    sigs = pool.map(make, range(count), chunksize=8)
records = {}
for i, p in enumerate(paths):
    new, old = sigs[i]
    kb = sizes[i] // 1000
    records[p] = ([(90901, kb, old)] if old != new else []) + [(91001, kb, new)]
for p in gone:
    data = os.urandom(rng.randint(1000, 200000))
    local = inst + p[p.index("/") + 1:]
    with open(local, "wb") as f:
        f.write(data)
    records[p] = [(90901, len(data) // 1000, hashlib.md5(data).hexdigest()), (91001, 0, "GONE")]
out = io.StringIO()
out.write("I\n900 version\nINSTALLER\n\n")
folder = None
with open(want_path, "w") as want:
    for p in sorted(records):
        d = p[:p.rindex("/") + 1]
        if d != folder:
            out.write("\nDIR %s\n" % d)
            folder = d
        for version, kb, sig in records[p]:
            out.write("FILE 0 0 %d %d %d %s %s\n" % (version, kb, kb, sig, p[p.rindex("/") + 1:]))
        want.write("%s\t%s\n" % (records[p][-1][2], p[p.index("/") + 1:]))
with zipfile.ZipFile(mirror + "directory.txt.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("directory.txt", out.getvalue())
