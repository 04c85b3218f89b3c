# The WendelSaver demo playlist, played by plx-sim. The build copies it next
# to the covers it draws (build/examples/demo/); cover paths are relative to
# this file. Together the entries show everything the board can show.

# A plain title, an artist of the form "Name, The", the smallest cover.
[track]
artist = Ravens, The
album = Night Flight
title = Black Feathers
length = 3:12
cover = covers/night-flight-300x300.jpg
number = 2

# A marked title: a guest performer on a compilation; a landscape cover.
[track]
artist = Various Artists
album = Summer Hits
title = !a{Nora Vale}t{Paper Moons}!
length = 4:05
cover = covers/summer-hits-1200x800.jpg
number = 7

# An album given as "...": the board shows the artist in its place. Portrait cover.
[track]
artist = Lanterns
album = ...
title = Lights Over Water
length = 3:48
cover = covers/lanterns-800x1200.jpg

# A whole album under one playlist position: "[Album]" shows while it plays.
# The largest cover.
[album]
artist = Harbour Lights, The
album = Live at the Harbour
cover = covers/harbour-3000x3000.jpg
track = 2:54 Cast Off
track = 3:31 !a{Mara Quill}t{Salt and Rope}!
track = 4:12 Homeward

# No cover: the saver shows its default image, or nothing.
[track]
artist = June Carter Trio
album = Quiet Rooms
title = Quiet Room
length = 2:47
cover =

# A cover file that does not exist: the saver falls back to its default image.
[track]
artist = Missing Persons Bureau
album = Lost and Found
title = Where Did It Go
length = 3:05
cover = covers/this-file-does-not-exist.jpg

# A title with double quotes (sent as two single quotes); the benchmark's
# 1000 x 1000 cover.
[track]
artist = Odd Numbers
album = One Thousand
title = Say "When"
length = 3:33
cover = covers/benchmark-1000x1000.jpg

# A long title and a wide PNG cover.
[track]
artist = Wanderers
album = The Long Road
title = A Very Long Title That Goes On and On Past the Edge of the Board
length = 6:21
cover = covers/long-road-2000x1200.png

# A small portrait cover; an artist in capitals with the article.
[track]
artist = NIGHT OWLS, THE
album = Small Hours
title = Three A.M.
length = 2:58
cover = covers/small-hours-480x640.jpg

# A second whole album right after a single track, then a third entry that
# is a whole album too, so album follows album.
[album]
artist = Sea Glass
album = Tides
cover = covers/tides-1600x1600.jpg
track = 3:20 Low Water
track = 3:45 High Water

[album]
artist = Story Tellers
album = Tall Tales
cover = covers/tall-tales-2400x3000.jpg
track = 4:01 !a{Old Tom}t{The Fisherman's Tale}!
track = 3:15 The Last Word

# A big landscape cover.
[track]
artist = Open Sky
album = Wide Open
title = Horizon
length = 4:44
cover = covers/wide-open-3000x2000.jpg

# A small landscape cover and a marked title whose performer is an article artist.
[track]
artist = Various Artists
album = Postcards
title = !a{Ravens, The}t{Wish You Were Here}!
length = 3:09
cover = covers/postcard-640x480.jpg

# A small square PNG, and the last entry: after it the playlist stops.
[track]
artist = Echo Chamber
album = Echoes
title = Echoes (Reprise)
length = 1:59
cover = covers/echoes-500x500.png
