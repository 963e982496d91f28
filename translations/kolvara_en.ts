<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Register</name>
    <message>
        <source>Registar nije otvoren.</source>
        <translation>The register is not open.</translation>
    </message>
    <message>
        <source>Opis veze s registrom ne navodi dobavljača (Provider).</source>
        <translation>The connection string names no provider.</translation>
    </message>
    <message>
        <source>Dobavljač „%1” nije dostupan: ovaj program otvara registar samo preko „%2”.</source>
        <translation>Provider “%1” is not available: this program opens its register through “%2” only.</translation>
    </message>
    <message>
        <source>Opis veze s registrom ne navodi datoteku registra (Data Source).</source>
        <translation>The connection string names no register file (Data Source).</translation>
    </message>
    <message>
        <source>Nije sačuvano: %1 %2 ne postoji u registru.</source>
        <translation>Not saved: %1 %2 is not in the register.</translation>
    </message>
    <message>
        <source>Nije sačuvano: %1 (%2) ne postoji u registru.</source>
        <translation>Not saved: the %1 (%2) is not in the register.</translation>
    </message>
    <message>
        <source>Nije sačuvano: nedostaje %1.</source>
        <translation>Not saved: the %1 is missing.</translation>
    </message>
    <message>
        <source>%1: „%2” nije ceo broj.</source>
        <translation>%1: “%2” is not a whole number.</translation>
    </message>
    <message>
        <source>%1: tekst je duži od %2 znakova.</source>
        <translation>%1: the text is longer than %2 characters.</translation>
    </message>
    <message>
        <source>Previše teksta za memoriju: suzite pretragu.</source>
        <translation>Too much text to hold in memory: narrow the search.</translation>
    </message>
    <message>
        <source>Registar je zaključao drugi program koji upravo piše u njega. Pokušajte ponovo za trenutak.</source>
        <translation>The register is locked by another program that is writing to it. Try again in a moment.</translation>
    </message>
    <message>
        <source>Tekst pretrage je predugačak: sme imati najviše %1 bajtova (UTF-8). Skratite ga.</source>
        <translation>The search text is too long: it may hold at most %1 bytes (UTF-8). Shorten it.</translation>
    </message>
    <message>
        <source>Spisak se ne može menjati: registar je samo za čitanje.</source>
        <translation>The list cannot be changed: the register can only be read.</translation>
    </message>
    <message>
        <source>Nema zapisa za izmenu: spisak je prazan.</source>
        <translation>There is nothing to edit: the list is empty.</translation>
    </message>
    <message>
        <source>Nije sačuvano: ovog zapisa više nema u registru (možda ga je obrisao drugi program).</source>
        <translation>Not saved: this record is no longer in the register (another program may have deleted it).</translation>
    </message>
    <message>
        <source>Nije sačuvano: u registru je više zapisa s brojem %1, a sme biti samo jedan.</source>
        <translation>Not saved: the register holds more than one record numbered %1, and may hold only one.</translation>
    </message>
    <message>
        <source>Ovaj zapis nema broj (%1), pa ne može da se menja ni da se briše.</source>
        <translation>This record has no number (%1), so it cannot be changed or deleted.</translation>
    </message>
    <message>
        <source>Nema zapisa za brisanje: spisak je prazan.</source>
        <translation>There is nothing to delete: the list is empty.</translation>
    </message>
    <message>
        <source>Nije obrisano: spisak je u međuvremenu ponovo pročitan. Ništa drugo nije obrisano.</source>
        <translation>Not deleted: the list was read again meanwhile. Nothing else was deleted.</translation>
    </message>
    <message>
        <source>Nije obrisano: ovog zapisa više nema u registru (možda ga je obrisao drugi program).</source>
        <translation>Not deleted: this record is no longer in the register (another program may have deleted it).</translation>
    </message>
    <message>
        <source>Nije obrisano: u registru je više zapisa s brojem %1, a sme biti samo jedan.</source>
        <translation>Not deleted: the register holds more than one record numbered %1, and may hold only one.</translation>
    </message>
    <message>
        <source>Nije sačuvano: drugi program upravo piše u registar. Pokušajte ponovo za trenutak.</source>
        <translation>Not saved: another program is writing to the register. Try again in a moment.</translation>
    </message>
    <message>
        <source>Nije sačuvano: registar se sada može samo čitati (%1).</source>
        <translation>Not saved: the register can only be read now (%1).</translation>
    </message>
    <message>
        <source>Nije sačuvano: disk je pun. Oslobodite prostor i sačuvajte ponovo.</source>
        <translation>Not saved: the disk is full. Make room and save again.</translation>
    </message>
    <message>
        <source>Nema dovoljno memorije za čitanje spiska.</source>
        <translation>There is not enough memory to read the list.</translation>
    </message>
    <message>
        <source>Registar se ne može pročitati: %1 „%2” nije ceo broj između -2147483648 i 2147483647.</source>
        <translation>The register cannot be read: the %1 “%2” is not a whole number between -2147483648 and 2147483647.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne postoji.</source>
        <translation>The register file %1 does not exist.</translation>
    </message>
    <message>
        <source>%1 je fascikla, a ne datoteka registra.</source>
        <translation>%1 is a folder, not a register file.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se pročita: %2.</source>
        <translation>The register file %1 cannot be read: %2.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 je prazna: u njoj nema registra.</source>
        <translation>The register file %1 is empty: it holds no register.</translation>
    </message>
    <message>
        <source>%1 je Microsoft Access baza (format %2), registar starijeg programa. Prenesite ga jednom naredbom za uvoz iz fascikle ovog programa:
    kolvara-import-jet --replace &quot;%3&quot;
Ona na njegovom mestu piše nov registar, a staru datoteku čuva nepromenjenu pored njega. Zatim ponovo pokrenite ovaj program.</source>
        <translation>%1 is a Microsoft Access database (%2 format), a register kept by an older program. Bring it in once with the import command in this program&apos;s folder:
    kolvara-import-jet --replace &quot;%3&quot;
It writes a new register in its place and keeps the old file, unchanged, beside it. Then start this program again.</translation>
    </message>
    <message>
        <source>%1 nije datoteka registra koju ovaj program može da otvori (nije SQLite 3 baza).</source>
        <translation>%1 is not a register file that this program can open (it is not an SQLite 3 database).</translation>
    </message>
    <message>
        <source>Datoteka registra %1 je samo za čitanje. Dozvolite upis u nju (u svojstvima datoteke) i ponovo pokrenite program.</source>
        <translation>The register file %1 is read-only. Allow writing to it (in the file&apos;s properties) and start the program again.</translation>
    </message>
    <message>
        <source>U fasciklu %1, u kojoj je datoteka registra, ne može da se piše, a svako čuvanje tamo prvo upisuje dnevnik izmena. Dozvolite upis u fasciklu i ponovo pokrenite program.</source>
        <translation>The folder %1 of the register file cannot be written to, and every save first writes a journal there. Allow writing to the folder and start the program again.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se otvori</source>
        <translation>The register file %1 cannot be opened</translation>
    </message>
    <message>
        <source>Datoteka registra %1 može samo da se čita. Dozvolite upis u nju i u njenu fasciklu i ponovo pokrenite program.</source>
        <translation>The register file %1 can only be read, not written. Allow writing to it and to its folder, and start the program again.</translation>
    </message>
    <message>
        <source>Datoteka registra %1 ne može da se pročita</source>
        <translation>The register file %1 cannot be read</translation>
    </message>
    <message>
        <source>Registar je sačuvao „%1” kao %2, a to nije ceo broj.</source>
        <translation>The register stored “%1” as the %2, which is not a whole number.</translation>
    </message>
    <message>
        <source>Nije obrisano: drugi zapisi registra još upućuju na ovaj. Prvo njih izmenite ili obrišite.</source>
        <translation>Not deleted: other records of the register still refer to this one. Change or delete them first.</translation>
    </message>
    <message>
        <source>Nije sačuvano: zapis upućuje na nešto čega u registru nema.</source>
        <translation>Not saved: the record refers to something the register does not hold.</translation>
    </message>
    <message>
        <source>Nije sačuvano: vrednost ne ispunjava pravilo registra „%1”.</source>
        <translation>Not saved: a value breaks the register&apos;s rule “%1”.</translation>
    </message>
    <message>
        <source>Nije sačuvano: u registru već postoji zapis s tim brojem.</source>
        <translation>Not saved: the register already holds a record with that number.</translation>
    </message>
    <message>
        <source>Registar ne može da se pročita: u njemu nema kolone „%1” (%2).</source>
        <translation>The register cannot be read: it has no column “%1” (%2).</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Došlo je do neočekivane greške; poslednja radnja možda nije završena.</source>
        <translation>An unexpected error occurred; the last action may not have been completed.</translation>
    </message>
    <message>
        <source>&amp;Sačuvaj</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Ne čuvaj</source>
        <translation>&amp;Don&apos;t save</translation>
    </message>
    <message>
        <source>&amp;Ostani</source>
        <translation>S&amp;tay</translation>
    </message>
</context>
<context>
    <name>TDBGrid</name>
    <message>
        <source>Lista osoba</source>
        <translation>List of persons</translation>
    </message>
</context>
<context>
    <name>TDBNavigator</name>
    <message>
        <source>Prvi zapis</source>
        <translation>First person</translation>
    </message>
    <message>
        <source>Prethodni zapis</source>
        <translation>Previous person</translation>
    </message>
    <message>
        <source>Sledeći zapis</source>
        <translation>Next person</translation>
    </message>
    <message>
        <source>Poslednji zapis</source>
        <translation>Last person</translation>
    </message>
    <message>
        <source>Dodaj zapis</source>
        <translation>Add a person</translation>
    </message>
    <message>
        <source>Obriši zapis</source>
        <translation>Delete the person</translation>
    </message>
    <message>
        <source>Izmeni zapis</source>
        <translation>Edit the person</translation>
    </message>
    <message>
        <source>Sačuvaj izmene</source>
        <translation>Save the changes</translation>
    </message>
    <message>
        <source>Otkaži izmene</source>
        <translation>Cancel the changes</translation>
    </message>
    <message>
        <source>Osveži podatke</source>
        <translation>Read the list again</translation>
    </message>
    <message>
        <source>Navigator</source>
        <translation>Navigator</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <comment>a button and its keys</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Da li da obrišem ovaj zapis?</source>
        <translation>Delete this person?</translation>
    </message>
    <message>
        <source>&amp;Da</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Ne</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Kolvara</source>
        <translation>Kolvara</translation>
    </message>
    <message>
        <source>Stanje liste</source>
        <translation>State of the list</translation>
    </message>
    <message>
        <source>&amp;Ime</source>
        <translation>&amp;Name</translation>
    </message>
    <message>
        <source>&amp;Prezime</source>
        <translation>&amp;Surname</translation>
    </message>
    <message>
        <source>&amp;Država</source>
        <translation>&amp;Country</translation>
    </message>
    <message>
        <source>&amp;Grad</source>
        <translation>C&amp;ity</translation>
    </message>
    <message>
        <source>Pretraga</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>&amp;Nova pretraga</source>
        <translation>New sea&amp;rch</translation>
    </message>
    <message>
        <source>Ime</source>
        <translation>First name</translation>
    </message>
    <message>
        <source>Prezime</source>
        <translation>Surname</translation>
    </message>
    <message>
        <source>Država</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>Grad</source>
        <translation>City</translation>
    </message>
    <message>
        <source>I&amp;me</source>
        <translation>&amp;First name</translation>
    </message>
    <message>
        <source>Pr&amp;ezime</source>
        <translation>S&amp;urname</translation>
    </message>
    <message>
        <source>D&amp;rzava</source>
        <translation>C&amp;ountry</translation>
    </message>
    <message>
        <source>Gr&amp;ad</source>
        <translation>Cit&amp;y</translation>
    </message>
    <message>
        <source>Drzava, broj</source>
        <translation>Country number</translation>
    </message>
    <message>
        <source>Grad, broj</source>
        <translation>City number</translation>
    </message>
    <message>
        <source>Drzava</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Drzava, izbor</source>
        <translation>Choose a country</translation>
    </message>
    <message>
        <source>Grad, izbor</source>
        <translation>Choose a city</translation>
    </message>
    <message>
        <source>Iz&amp;laz</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Izmene ove osobe nisu sačuvane. Da li da ih sačuvam pre izlaska?</source>
        <translation>The changes to this person are not saved. Save them before leaving?</translation>
    </message>
    <message>
        <source>Inactive</source>
        <translation>Inactive</translation>
    </message>
    <message>
        <source>Browse [</source>
        <translation>Browse [</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>SetKey</source>
        <translation>SetKey</translation>
    </message>
    <message>
        <source>Ne mogu da pronadjem ID:</source>
        <translation>Cannot find ID:</translation>
    </message>
    <message>
        <source>broj osobe</source>
        <translation>person&apos;s number</translation>
    </message>
    <message>
        <source>država</source>
        <translation>country</translation>
    </message>
    <message>
        <source>grad</source>
        <translation>city</translation>
    </message>
    <message>
        <source>ime</source>
        <translation>first name</translation>
    </message>
    <message>
        <source>prezime</source>
        <translation>surname</translation>
    </message>
    <message>
        <source>naziv države</source>
        <translation>country&apos;s name</translation>
    </message>
    <message>
        <source>naziv grada</source>
        <translation>city&apos;s name</translation>
    </message>
</context>
</TS>
