-- The sample wine list that ships as Sample.mdb.  The declared types are
-- the ones an Access table has (CURRENCY, DATETIME, BOOLEAN), so the sample
-- shows how each kind of value is scripted; dates are stored as
-- 'yyyy-mm-dd hh:nn:ss' text and flags as 0/1.
PRAGMA encoding = 'UTF-8';
BEGIN;

CREATE TABLE tblWineList (
    WineID INTEGER PRIMARY KEY,
    WineName TEXT NOT NULL,
    Country TEXT,
    Vintage INTEGER,
    Price CURRENCY,
    Rating REAL,
    Purchased DATETIME,
    InStock BOOLEAN NOT NULL DEFAULT 0,
    Notes TEXT
);

INSERT INTO tblWineList (WineName, Country, Vintage, Price, Rating, Purchased, InStock, Notes) VALUES
('Château d''Yquem', 'France', 2001, 465.00, 4.9, '2011-03-14 10:30:00', 1, 'Sauternes; keep for decades'),
('Côtes du Rhône Villages', 'France', 2019, 14.50, 3.6, '2021-06-02 17:45:12', 1, NULL),
('Château Margaux', 'France', 2010, 695.00, 4.8, '2015-11-20 09:05:00', 0, 'Sold out at the estate'),
('Châteauneuf-du-Pape', 'France', 2016, 48.75, 4.3, '2019-02-08 14:00:00', 1, 'Grenache, Syrah, Mourvèdre'),
('Pouilly-Fumé', 'France', 2020, 27.90, 3.9, '2022-04-16 11:20:30', 1, NULL),
('Crémant d''Alsace Brut', 'France', NULL, 16.25, 3.5, '2023-12-01 16:10:00', 1, 'Non-vintage'),
('Gewürztraminer Grand Cru', 'France', 2018, 32.00, 4.1, '2020-09-09 12:00:00', 0, NULL),
('Domaine de la Romanée-Conti La Tâche', 'France', 2015, 4200.00, 5.0, '2018-05-30 08:15:45', 1, 'Under lock and key'),
('Sancerre Rosé', 'France', 2022, 22.40, 3.4, '2023-07-04 19:30:00', 1, NULL),
('Moët & Chandon Impérial', 'France', NULL, 45.00, 3.7, '2023-12-20 10:00:00', 0, 'For the "big" party'),
('Barolo Riserva', 'Italy', 2013, 89.00, 4.6, '2019-10-12 15:40:00', 1, 'Decant two hours'),
('Brunello di Montalcino', 'Italy', 2015, 72.50, 4.5, '2020-01-25 13:13:13', 1, NULL),
('Chianti Classico', 'Italy', 2019, 19.99, 3.8, '2021-08-18 18:00:00', 1, NULL),
('Prosecco di Valdobbiadene', 'Italy', 2021, 13.75, 3.2, '2022-12-24 09:45:00', 0, 'Party wine'),
('Rioja Gran Reserva', 'Spain', 2012, 38.00, 4.2, '2018-03-03 11:11:00', 1, NULL),
('Ribera del Duero Crianza', 'Spain', 2017, 24.60, 3.9, '2020-06-21 16:30:00', 1, NULL),
('Albariño Rías Baixas', 'Spain', 2021, 18.20, 3.7, '2022-08-08 12:30:00', 1, 'Serve at 10 °C'),
('L''Ermita Priorat', 'Spain', 2016, 1150.00, 4.9, '2019-12-12 12:12:12', 0, NULL),
('Vinho Verde', 'Portugal', 2022, 9.50, 3.1, '2023-05-15 10:05:00', 1, NULL),
('Taylor''s Vintage Port', 'Portugal', 2017, 95.00, 4.7, '2019-11-11 11:00:00', 1, 'Open the year''s end'),
('Grüner Veltliner Federspiel', 'Austria', 2021, 21.30, 3.8, '2022-10-01 14:45:00', 1, NULL),
('Riesling Spätlese', 'Germany', 2019, 26.80, 4.0, '2021-02-14 20:00:00', 1, 'Off-dry'),
('Tokaji Aszú 5 Puttonyos', 'Hungary', 2013, 54.00, 4.4, '2018-08-28 10:10:10', 0, NULL),
('Penfolds Grange', 'Australia', 2016, 720.00, 4.8, '2021-04-01 09:00:00', 1, NULL),
('Cloudy Bay Sauvignon Blanc', 'New Zealand', 2022, 29.95, 3.9, '2023-03-17 17:17:00', 1, NULL),
('Opus One', 'United States', 2018, 395.00, 4.6, '2022-01-07 15:00:00', 1, 'Napa Valley'),
('Ridge Monte Bello', 'United States', 2014, 210.00, 4.7, '2017-09-23 12:45:00', 0, NULL),
('Catena Zapata Malbec Argentino', 'Argentina', 2019, 120.00, 4.4, '2022-07-09 18:20:00', 1, NULL),
('Concha y Toro Don Melchor', 'Chile', 2018, 110.00, 4.3, '2021-10-31 21:00:00', 1, NULL),
('Kanonkop Pinotage', 'South Africa', 2017, 42.00, 4.0, '2020-11-05 13:30:00', 1, 'Smoky; try with braai');

COMMIT;
