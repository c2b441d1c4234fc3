-- Working tables of edition 18, created in the companies database.
-- One batch per table; a batch does nothing when its table exists already.
-- The seed name YÖNETİCİ is written as its code page 1254 bytes, 0x59D64E4554DD43DD.
-- A quoted literal, plain or N'', is converted to the database's code page on the way in,
-- so a database whose collation is not Turkish would lose the dotted capital I.
-- The binary value lands as the same eight bytes whatever the collation and the client,
-- and those bytes are what the suite's programs read.

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[FRT]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[FRT] (
	[FRT_KODU] [varchar] (15) NOT NULL ,
	[MODEL_KODU] [varchar] (15) NULL ,
	[FRT_ADI] [varchar] (45) NULL ,
	[FRT_ING_ADI] [varchar] (45) NULL ,
	[FRT_GRP_KODU] [varchar] (6) NULL ,
	[FRT_GRP_ADI] [varchar] (30) NULL ,
	[FRT_ZAMAN] [float] NULL ,
	[BIRIM_FIYAT_TL] [float] NULL ,
	[BIRIM_FIYAT_DVZ] [float] NULL ,
	[DOVIZ_KODU] [varchar] (5) NULL ,
	[KDV] [float] NULL ,
	[KLEIM_TURU] [varchar] (1) NULL ,
	[KBMY] [varchar] (1) NULL ,
	[MUH_S] [varchar] (30) NULL ,
	[MUH_IADE_S] [varchar] (30) NULL ,
	[MUH_ISK_S] [varchar] (30) NULL ,
	[MUH_KDV_S] [varchar] (30) NULL ,
	[MUH_A] [varchar] (30) NULL ,
	[MUH_IADE_A] [varchar] (30) NULL ,
	[MUH_ISK_A] [varchar] (30) NULL ,
	[MUH_KDV_A] [varchar] (30) NULL ,
	[ALT_GRUP] [char] (6) NULL ,
	[ALTER_KOD] [varchar] (15) NULL ,
	[LOKAS_KOD] [char] (6) NULL ,
	[PREW_KOD1] [varchar] (15) NULL ,
	[PREW_KOD2] [varchar] (15) NULL ,
	[ACIKLAMA1] [varchar] (50) NULL ,
	[ACIKLAMA2] [varchar] (50) NULL ,
	[ACIKLAMA3] [varchar] (50) NULL ,
	[MUH_GRSAT] [varchar] (30) NULL ,
	[MUH_GRSATISK] [varchar] (30) NULL ,
	[EK_ISC] [tinyint] NULL ,
	[ISK_MAX] [float] NULL
) ON [PRIMARY]

 CREATE  UNIQUE  INDEX [Frt0] ON [dbo].[FRT]([FRT_KODU], [MODEL_KODU]) ON [PRIMARY]

 CREATE  INDEX [FRTANA] ON [dbo].[FRT]([KBMY]) ON [PRIMARY]

 CREATE  INDEX [FRTMODEL] ON [dbo].[FRT]([MODEL_KODU]) ON [PRIMARY]

 CREATE  INDEX [FRTGRUP] ON [dbo].[FRT]([FRT_GRP_KODU]) ON [PRIMARY]

 CREATE  INDEX [FRTAD] ON [dbo].[FRT]([FRT_ADI]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[MODEL]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[MODEL] (
	[ARC_MODEL_KODU] [varchar] (15) NOT NULL ,
	[ARC_MODEL_ADI] [varchar] (40) NOT NULL ,
	[MARKA] [varchar] (15) NULL ,
	[MODEL] [varchar] (15) NULL ,
	[CINS] [varchar] (15) NULL ,
	[ARC_SERI] [varchar] (15) NULL ,
	[MOTOR_TIP] [varchar] (15) NULL ,
	[MOTOR_SILIN_SAY] [varchar] (15) NULL ,
	[MOTOR_HACIM] [varchar] (15) NULL ,
	[MOTOR_GUC] [varchar] (15) NULL ,
	[VITES] [varchar] (15) NULL ,
	[AGIRLIK] [varchar] (15) NULL ,
	[GOVDE_TIP] [varchar] (15) NULL ,
	[TRIM_TIP] [varchar] (15) NULL ,
	[BOY] [varchar] (15) NULL ,
	[EN] [varchar] (15) NULL ,
	[YUKSEKLIK] [varchar] (15) NULL ,
	[SANZIMAN_TIPI] [varchar] (20) NULL ,
	[AKSESUAR] [varchar] (50) NULL ,
	[SIPARIS_SEV] [varchar] (3) NULL ,
	[MIN_STOK_SEV] [varchar] (3) NULL ,
	[MAX_STOK_SEV] [varchar] (3) NULL ,
	[SIPARIS_SURESI] [smallint] NULL ,
	[ISKONTO_GRP] [varchar] (2) NULL ,
	[D_BASI_STK_MIK] [float] NULL ,
	[D_BASI_STK_DEGERI] [float] NULL ,
	[MALIYET_FYT_TL] [float] NULL ,
	[MALIYET_FYT_USD] [float] NULL ,
	[MALIYET_FYT_DOVIZ] [float] NULL ,
	[SATIS_FIYAT_TL] [float] NULL ,
	[SATIS_FIYAT_USD] [float] NULL ,
	[SATIS_FIYAT_DOVIZ] [float] NULL ,
	[ALISFIYAT_TL] [float] NULL ,
	[ALISFIYAT_USD] [float] NULL ,
	[ALISFIYAT_DOVIZ] [float] NULL ,
	[FYT_KUR] [varchar] (5) NULL ,
	[KAR_ORANI] [float] NULL ,
	[VERGILER] [float] NULL ,
	[RADYO_TEYP] [bit] NULL ,
	[CAKMAK] [bit] NULL ,
	[AVANDANLIK] [bit] NULL ,
	[KRIKO] [bit] NULL ,
	[STEPNE] [bit] NULL ,
	[RUHSAT] [bit] NULL ,
	[KDV] [float] NULL ,
	[YAKIT_TIPI] [varchar] (15) NULL ,
	[RESIM] [image] NULL ,
	[OTURMA_YERI] [varchar] (15) NULL ,
	[TAV_KOD] [varchar] (11) NULL ,
	[MODEL_YIL] [smallint] NULL ,
	[CAP] [varchar] (15) NULL ,
	[SIP_VERILEBILIR] [bit] NULL ,
	[OZEL1] [varchar] (10) NULL ,
	[OZEL2] [varchar] (10) NULL ,
	[MUH_S] [varchar] (30) NULL ,
	[MUH_IADE_S] [varchar] (30) NULL ,
	[MUH_ISK_S] [varchar] (30) NULL ,
	[MUH_KDV_S] [varchar] (30) NULL ,
	[MUH_A] [varchar] (30) NULL ,
	[MUH_IADE_A] [varchar] (30) NULL ,
	[MUH_ISK_A] [varchar] (30) NULL ,
	[MUH_KDV_A] [varchar] (30) NULL ,
	[AKTARMA] [varchar] (15) NULL ,
	[SUBAP_ADET] [varchar] (15) NULL ,
	[YAKIT_TUK1] [varchar] (30) NULL ,
	[YAKIT_TUK2] [varchar] (30) NULL ,
	[DEPO_HACIM] [varchar] (15) NULL ,
	[BAGAJ_HACIM] [varchar] (15) NULL ,
	[KATALITIK] [char] (1) NULL ,
	[CLAIM_ARCTIP] [varchar] (15) NULL ,
	[OTV] [float] NULL ,
	[MUH_OTV_A] [varchar] (30) NULL ,
	[MUH_OTV_S] [varchar] (30) NULL ,
	[POQ_VER] [bit] NOT NULL ,
	[NETAGIR] [varchar] (15) NULL ,
	[ISTIHAD] [varchar] (15) NULL ,
	[AZAMIAGR] [varchar] (15) NULL ,
	[KAPASITE] [varchar] (15) NULL ,
	[DINGIL] [varchar] (15) NULL ,
	[TEKERLEK] [varchar] (15) NULL ,
	[KAVRAMA] [varchar] (15) NULL ,
	[YEDEK1] [varchar] (20) NULL ,
	[YEDEK2] [varchar] (20) NULL ,
	[YEDEK3] [varchar] (20) NULL ,
	[YEDEK4] [varchar] (20) NULL ,
	[YEDEK5] [varchar] (20) NULL ,
	[TEK_ADET] [varchar] (20) NULL ,
	[YEDEK6] [varchar] (50) NULL ,
	[YEDEK7] [varchar] (50) NULL ,
	[YEDEK8] [varchar] (50) NULL ,
	[YEDEK9] [varchar] (50) NULL ,
	[YEDEK10] [varchar] (50) NULL ,
	[ORG_TIP] [tinyint] NULL ,
	[ARAC_GRUP] [char] (1) NULL ,
	[MKONT_KM] [float] NULL ,
	[MBAK_ILK_KM] [float] NULL ,
	[MBAK_PER_KM] [float] NULL
) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]

ALTER TABLE [dbo].[MODEL] ADD 
	CONSTRAINT [DF_MODEL_RADYO_TEYP] DEFAULT (0) FOR [RADYO_TEYP],
	CONSTRAINT [DF_MODEL_CAKMAK] DEFAULT (0) FOR [CAKMAK],
	CONSTRAINT [DF_MODEL_AVANDANLIK] DEFAULT (0) FOR [AVANDANLIK],
	CONSTRAINT [DF_MODEL_KRIKO] DEFAULT (0) FOR [KRIKO],
	CONSTRAINT [DF_MODEL_STEPNE] DEFAULT (0) FOR [STEPNE],
	CONSTRAINT [DF_MODEL_RUHSAT] DEFAULT (0) FOR [RUHSAT],
	CONSTRAINT [DF_MODEL_SIP_VERILEBILIR] DEFAULT (0) FOR [SIP_VERILEBILIR],
	CONSTRAINT [DF_MODEL_POQ_VER] DEFAULT (0) FOR [POQ_VER]

 CREATE  UNIQUE  INDEX [MODEL0] ON [dbo].[MODEL]([ARC_MODEL_KODU]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[ISEMRI]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[ISEMRI] (
	[IS_EMRI_NO] [char] (7) NOT NULL ,
	[IE_TIP] [char] (1) NULL ,
	[SERVIS_KOD] [char] (11) NULL ,
	[IS_ENO] [char] (7) NULL ,
	[CARI_KOD] [char] (11) NULL ,
	[ARAC_TIP] [char] (15) NULL ,
	[ARAC_MODEL] [char] (6) NULL ,
	[SASI_NO] [char] (25) NULL ,
	[MOTOR_NO] [char] (25) NULL ,
	[KM] [float] NULL ,
	[TESLIM_TRH] [datetime] NULL ,
	[RENK_KOD] [char] (11) NULL ,
	[PLAKA_NO] [char] (15) NULL ,
	[GARANTI_NO] [varchar] (10) NULL ,
	[ARAC_GIRIS_TRH] [datetime] NULL ,
	[ARAC_GIRIS_SAAT] [datetime] NULL ,
	[TAHMINI_TES_TRH] [datetime] NULL ,
	[TAH_TES_SAAT] [datetime] NULL ,
	[VURUK] [bit] NULL ,
	[CIZIK] [bit] NULL ,
	[PAS] [bit] NULL ,
	[BOYA_HATA] [bit] NULL ,
	[PDI_TUTAR] [float] NULL ,
	[HASAR_TUTAR] [float] NULL ,
	[ARIZA_TUTAR] [float] NULL ,
	[PDI_IS_TUTAR] [float] NULL ,
	[ARZ_IS_TUTAR] [float] NULL ,
	[HASAR_IS_TUTAR] [float] NULL ,
	[PAR_TOP_TUTAR] [float] NULL ,
	[IS_TOP_TUTAR] [float] NULL ,
	[TOP_TUTAR] [float] NULL ,
	[GARANTI_BITIS] [datetime] NULL ,
	[DEPO_YAP] [char] (1) NULL ,
	[DISPOZ_YAP] [char] (1) NULL ,
	[KAPANDI] [char] (1) NULL ,
	[AY] [smallint] NULL ,
	[YIL] [smallint] NULL ,
	[MUSTALIM_1] [varchar] (80) NULL ,
	[MUSTALIM_2] [varchar] (80) NULL ,
	[MUSTALIM_3] [varchar] (80) NULL ,
	[MUSTALIM_4] [varchar] (80) NULL ,
	[MUSTALIM_5] [varchar] (80) NULL ,
	[MUSTALIM_6] [varchar] (80) NULL ,
	[MUSTALIM_7] [varchar] (80) NULL ,
	[MUSTALIM_8] [varchar] (80) NULL ,
	[MUSTALIM_9] [varchar] (80) NULL ,
	[MUSTALIM_10] [varchar] (80) NULL ,
	[GENEL_DUR] [varchar] (70) NULL ,
	[CAKMAK] [bit] NULL ,
	[RADYO_TEYP] [bit] NULL ,
	[AVADANLIK] [bit] NULL ,
	[KRIKO] [bit] NULL ,
	[RUHSAT] [bit] NULL ,
	[STEPNE] [bit] NULL ,
	[DIGER_EMANET] [text] NULL ,
	[YAKIT_MIK] [char] (7) NULL ,
	[ARAC_TESLIM_ALAN] [char] (11) NULL ,
	[YP_TESLIM_ALAN] [char] (11) NULL ,
	[S] [char] (1) NULL ,
	[GARANTI_PUANI] [float] NULL ,
	[GARANTI_KALAN_PUANI] [float] NULL ,
	[IE_GAR_HARCA_PUAN] [float] NULL ,
	[TEKRAR] [char] (1) NULL ,
	[YABANCI_ARAC] [char] (1) NULL ,
	[KAMPANYA] [smallint] NULL ,
	[IPTAL] [char] (1) NULL ,
	[AKTARILDI] [char] (1) NULL ,
	[TESLIM_EDEN] [varchar] (20) NULL ,
	[KAMPIE_NO] [float] NULL ,
	[TEKLIF_NO] [float] NULL ,
	[FYILI] [smallint] NULL ,
	[TESLIM_ED_TEL] [varchar] (17) NULL ,
	[MUSOK_1] [bit] NOT NULL ,
	[MUSOK_2] [bit] NOT NULL ,
	[MUSOK_3] [bit] NOT NULL ,
	[MUSOK_4] [bit] NOT NULL ,
	[MUSOK_5] [bit] NOT NULL ,
	[MUSOK_6] [bit] NOT NULL ,
	[MUSOK_7] [bit] NOT NULL ,
	[MUSOK_8] [bit] NOT NULL ,
	[MUSOK_9] [bit] NOT NULL ,
	[MUSOK_10] [bit] NOT NULL ,
	[PAR_ISK] [float] NULL ,
	[ISC_ISK] [float] NULL ,
	[GAR_TUT] [float] NULL ,
	[ARA_TUT] [float] NULL ,
	[KDV_TUT] [float] NULL ,
	[NET_TUT] [float] NULL ,
	[HASAR] [char] (1) NULL ,
	[RAN_NO] [float] NULL ,
	[INS_USER] [varchar] (11) NULL ,
	[INS_DATE] [datetime] NULL ,
	[UPD_USER] [varchar] (11) NULL ,
	[UPD_DATE] [datetime] NULL ,
	[DURUM1] [tinyint] NULL ,
	[DURUM2] [tinyint] NULL ,
	[DURUM3] [tinyint] NULL ,
	[IE_NOT] [varchar] (127) NULL ,
	[BILGI1] [varchar] (127) NULL ,
	[BILGI2] [varchar] (127) NULL ,
	[BILGI3] [varchar] (127) NULL ,
	[BILGI4] [varchar] (127) NULL ,
	[BILGI5] [varchar] (127) NULL ,
	[BILGI6] [varchar] (127) NULL ,
	[BILGI7] [varchar] (127) NULL ,
	[BILGI8] [varchar] (127) NULL ,
	[BILGI9] [varchar] (127) NULL ,
	[BILGI10] [varchar] (127) NULL ,
	[BAKIM_KM] [float] NULL ,
	[T1] [smallint] NULL ,
	[T2] [smallint] NULL ,
	[T3] [smallint] NULL ,
	[T4] [smallint] NULL ,
	[T5] [smallint] NULL ,
	[DEGERN1] [numeric] (9, 2) NULL ,
	[DEGERN2] [numeric] (9, 2) NULL ,
	[DEGERC1] [varchar] (20) NULL ,
	[DEGERC2] [varchar] (20) NULL
) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]

ALTER TABLE [dbo].[ISEMRI] ADD 
	CONSTRAINT [DF__ISEMRI__MUSOK_1__4707859D] DEFAULT (0) FOR [MUSOK_1],
	CONSTRAINT [DF__ISEMRI__MUSOK_2__47FBA9D6] DEFAULT (0) FOR [MUSOK_2],
	CONSTRAINT [DF__ISEMRI__MUSOK_3__48EFCE0F] DEFAULT (0) FOR [MUSOK_3],
	CONSTRAINT [DF__ISEMRI__MUSOK_4__49E3F248] DEFAULT (0) FOR [MUSOK_4],
	CONSTRAINT [DF__ISEMRI__MUSOK_5__4AD81681] DEFAULT (0) FOR [MUSOK_5],
	CONSTRAINT [DF__ISEMRI__MUSOK_6__4BCC3ABA] DEFAULT (0) FOR [MUSOK_6],
	CONSTRAINT [DF__ISEMRI__MUSOK_7__4CC05EF3] DEFAULT (0) FOR [MUSOK_7],
	CONSTRAINT [DF__ISEMRI__MUSOK_8__4DB4832C] DEFAULT (0) FOR [MUSOK_8],
	CONSTRAINT [DF__ISEMRI__MUSOK_9__4EA8A765] DEFAULT (0) FOR [MUSOK_9],
	CONSTRAINT [DF__ISEMRI__MUSOK_10__4F9CCB9E] DEFAULT (0) FOR [MUSOK_10],
	CONSTRAINT [DF__ISEMRI__INS_DATE__3A235722] DEFAULT (getdate()) FOR [INS_DATE]

ALTER TABLE ISEMRI ADD 
	CONSTRAINT DF_ISEMRI_VURUK DEFAULT (0) FOR VURUK,
	CONSTRAINT DF_ISEMRI_CIZIK DEFAULT (0) FOR CIZIK,
	CONSTRAINT DF_ISEMRI_PAS DEFAULT (0) FOR PAS,
	CONSTRAINT DF_ISEMRI_BOYA_HATA DEFAULT (0) FOR BOYA_HATA,
	CONSTRAINT DF_ISEMRI_CAKMAK DEFAULT (0) FOR CAKMAK,
	CONSTRAINT DF_ISEMRI_RADYO_TEYP DEFAULT (0) FOR RADYO_TEYP,
	CONSTRAINT DF_ISEMRI_AVADANLIK DEFAULT (0) FOR AVADANLIK,
	CONSTRAINT DF_ISEMRI_KRIKO DEFAULT (0) FOR KRIKO,
	CONSTRAINT DF_ISEMRI_RUHSAT DEFAULT (0) FOR RUHSAT,
	CONSTRAINT DF_ISEMRI_STEPNE DEFAULT (0) FOR STEPNE

 CREATE  UNIQUE  INDEX [Isemri0] ON [dbo].[ISEMRI]([IS_EMRI_NO]) ON [PRIMARY]

 CREATE  INDEX [IX_ISEMRI] ON [dbo].[ISEMRI]([CARI_KOD], [ARAC_GIRIS_TRH]) ON [PRIMARY]

 CREATE  INDEX [IX_ISEMRI_1] ON [dbo].[ISEMRI]([PLAKA_NO]) ON [PRIMARY]

 CREATE  INDEX [IX_ISEMRI_2] ON [dbo].[ISEMRI]([ARAC_GIRIS_TRH], [ARAC_GIRIS_SAAT]) ON [PRIMARY]

 CREATE  INDEX [IX_ISEMRI_KAPANDI] ON [dbo].[ISEMRI]([FYILI], [KAPANDI]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[ISCILIK]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[ISCILIK] (
	[ISEMRI_NO] [char] (7) NOT NULL ,
	[TIP] [char] (1) NULL ,
	[SIRANO] [smallint] NULL ,
	[ARIZA_KODU] [char] (15) NULL ,
	[ARIZA_ADI] [varchar] (45) NULL ,
	[A_T] [char] (1) NULL ,
	[ARIZA_GRUP] [char] (2) NULL ,
	[SURE] [float] NULL ,
	[ISCILIK_B_FIYATI] [float] NULL ,
	[KDV] [float] NULL ,
	[KUR] [float] NULL ,
	[GARANTI_TIPI] [char] (1) NULL ,
	[ARIZA] [varchar] (36) NULL ,
	[CLAIM_TURU] [char] (1) NULL ,
	[BOLUM_KODU] [char] (2) NULL ,
	[ONARAN_KISI] [char] (11) NULL ,
	[QTY] [smallint] NULL ,
	[TOPLAM] [float] NULL ,
	[EXP] [char] (1) NULL ,
	[S] [char] (1) NULL ,
	[FIILISURE] [float] NULL ,
	[YARD_PER] [varchar] (11) NULL ,
	[FATURANO] [float] NULL ,
	[CLAIMNO] [float] NULL ,
	[PAKETTIP] [char] (1) NULL ,
	[PAKETNO] [float] NULL ,
	[KAMPNO] [int] NULL ,
	[ISK_ORAN] [float] NULL ,
	[FIILIORAN] [tinyint] NULL
) ON [PRIMARY]

ALTER TABLE [dbo].[ISCILIK] ADD 
	CONSTRAINT [DF_ISCILIK_FIILIORAN] DEFAULT (100) FOR [FIILIORAN]

 CREATE  UNIQUE  INDEX [Iscilik0] ON [dbo].[ISCILIK]([ISEMRI_NO], [TIP], [SIRANO]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[GUNCEL]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[GUNCEL] (
	[ID] [tinyint] NOT NULL ,
	[STATU] [tinyint] NOT NULL
) ON [PRIMARY]

ALTER TABLE [dbo].[GUNCEL] WITH NOCHECK ADD 
	CONSTRAINT [PK_GUNCEL] PRIMARY KEY CLUSTERED ([ID]) ON [PRIMARY]

ALTER TABLE [dbo].[GUNCEL] ADD 
	CONSTRAINT [DF_GUNCEL_ID] DEFAULT (0) FOR [ID],
	CONSTRAINT [DF_GUNCEL_STATU] DEFAULT (0) FOR [STATU]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[FIRKIM]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[FIRKIM] (
	[SER_KOD] [varchar] (5) NULL ,
	[EADI] [varchar] (50) NULL ,
	[ADI] [varchar] (36) NULL ,
	[MESULAD] [varchar] (36) NULL ,
	[ADR1] [varchar] (50) NULL ,
	[ADR2] [varchar] (50) NULL ,
	[ADR3] [varchar] (45) NULL ,
	[TLF] [varchar] (25) NULL ,
	[VERGINO] [varchar] (17) NULL ,
	[VERGIDAIRE] [varchar] (25) NULL ,
	[ECZKODU] [smallint] NULL ,
	[XXX] [varchar] (25) NULL ,
	[OZEL] [varchar] (15) NULL ,
	[ACE] [varchar] (20) NULL ,
	[MERKEZ_KOD] [smallint] NULL ,
	[IL_KOD] [smallint] NULL ,
	[ILCE_KOD] [smallint] NULL ,
	[INTERDIZIN] [varchar] (255) NULL ,
	[INTERAD] [varchar] (255) NULL ,
	[BBSDIZIN] [varchar] (255) NULL ,
	[HATIRLA] [varchar] (1) NULL ,
	[HATGUNB] [smallint] NULL ,
	[HATGUNA] [smallint] NULL ,
	[URET_BKOD] [varchar] (22) NULL ,
	[DIST_BKOD] [varchar] (22) NULL ,
	[TED_BKOD] [varchar] (22) NULL ,
	[URET_CKOD] [varchar] (22) NULL ,
	[DIST_CKOD] [varchar] (22) NULL ,
	[TED_CKOD] [varchar] (22) NULL ,
	[OZEL1] [varchar] (50) NULL ,
	[OZEL2] [varchar] (20) NULL ,
	[MARKA] [varchar] (8) NULL ,
	[SMSKULADI] [varchar] (65) NULL ,
	[SMSSIFRE] [varchar] (65) NULL ,
	[MESAIBAS] [datetime] NULL ,
	[MESAIBIT] [datetime] NULL ,
	[YEMEKBAS] [datetime] NULL ,
	[YEMEKBIT] [datetime] NULL ,
	[MOLA1BAS] [datetime] NULL ,
	[MOLA1BIT] [datetime] NULL ,
	[MOLA2BAS] [datetime] NULL ,
	[MOLA2BIT] [datetime] NULL ,
	[BAYI_TIP] [char] (1) NULL ,
	[ARAC_GRP] [tinyint] NULL ,
	[ODEYEN] [varchar] (11) NULL ,
	[ORG_TIP] [tinyint] NULL ,
	[CLAIM_KOD] [char] (4) NULL ,
	[MAIL] [varchar] (100) NULL ,
	[WEB] [varchar] (100) NULL ,
	[TLF2] [varchar] (25) NULL ,
	[FAX] [varchar] (17) NULL ,
	[PK] [varchar] (8) NULL ,
	[ILI] [varchar] (25) NULL ,
	[PDKS] [char] (1) NULL ,
	[TLF3] [varchar] (25) NULL ,
	[TLF4] [varchar] (25) NULL ,
	[TLF5] [varchar] (25) NULL ,
	[GUN_TRH] [datetime] NULL ,
	[SMS_ORIG1] [varchar] (15) NULL ,
	[SMS_ORIG2] [varchar] (15) NULL ,
	[SMS_ORIG3] [varchar] (15) NULL ,
	[SMS_DEF_ORIG] [smallint] NULL
) ON [PRIMARY]

INSERT INTO FIRKIM(SER_KOD, EADI) VALUES('0', 'PERSONEL')
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[PARAMSER]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[PARAMSER] (
	[SERI_NO] [float] NULL ,
	[EMIR_HARF] [varchar] (1) NULL ,
	[EMIR_NO] [float] NULL ,
	[TARIH] [datetime] NULL ,
	[LEFT1] [smallint] NULL ,
	[TOP1] [smallint] NULL
) ON [PRIMARY]

INSERT INTO PARAMSER(SERI_NO) VALUES(1)
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[RIGHTS]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[RIGHTS] (
	[LOGIN_NAME] [char] (32) NOT NULL ,
	[USER_NAME] [char] (32) NULL ,
	[USER_PASS] [char] (32) NULL ,
	[SUPERVIZOR] [char] (1) NULL ,
	[BEYAN] [varchar] (1) NULL ,
	[ALIS] [varchar] (1) NULL ,
	[SATIS] [varchar] (1) NULL ,
	[AL_SIP] [varchar] (1) NULL ,
	[VER_SIP] [varchar] (1) NULL ,
	[IS_EMRI] [varchar] (1) NULL ,
	[DISPOZ] [varchar] (1) NULL ,
	[ARAC_AL] [varchar] (1) NULL ,
	[ARAC_SAT] [varchar] (1) NULL ,
	[STOK] [varchar] (1) NULL ,
	[CARI] [varchar] (1) NULL ,
	[MALIYET] [varchar] (1) NULL ,
	[CLAIM] [varchar] (1) NULL ,
	[PDI] [varchar] (1) NULL ,
	[SER_STOK] [varchar] (1) NULL ,
	[SEPO_STOK] [varchar] (1) NULL ,
	[EXPER] [varchar] (1) NULL ,
	[PERSONEL] [varchar] (1) NULL ,
	[BARKOD] [varchar] (1) NULL ,
	[FRTFCT] [varchar] (1) NULL ,
	[DIAL_UP] [varchar] (1) NULL ,
	[PARAM] [varchar] (1) NULL ,
	[FAT_TANIM] [varchar] (1) NULL ,
	[FRT_FIYAT] [varchar] (1) NULL ,
	[STOK_FIYAT] [varchar] (1) NULL ,
	[DOVIZ_KUR] [varchar] (1) NULL ,
	[IE_AKTAR] [varchar] (1) NULL ,
	[DIGER01] [varchar] (1) NULL ,
	[DIGER02] [varchar] (1) NULL ,
	[DIGER03] [varchar] (1) NULL ,
	[DIGER04] [varchar] (1) NULL ,
	[DIGER05] [varchar] (1) NULL ,
	[DIGER06] [varchar] (1) NULL ,
	[DIGER07] [varchar] (1) NULL ,
	[DIGER08] [varchar] (1) NULL ,
	[DIGER09] [varchar] (1) NULL ,
	[DIGER10] [varchar] (1) NULL ,
	[PERSONEL_KOD] [varchar] (11) NULL ,
	[DIGER11] [varchar] (1) NULL ,
	[DIGER12] [varchar] (1) NULL ,
	[DIGER13] [varchar] (1) NULL ,
	[DIGER14] [varchar] (1) NULL ,
	[DIGER15] [varchar] (1) NULL ,
	[DIGER16] [varchar] (1) NULL ,
	[DIGER17] [varchar] (1) NULL ,
	[DIGER18] [varchar] (1) NULL ,
	[DIGER19] [varchar] (1) NULL ,
	[DIGER20] [varchar] (1) NULL ,
	[DIGER21] [char] (1) NULL ,
	[DIGER22] [char] (1) NULL ,
	[DIGER23] [char] (1) NULL ,
	[DIGER24] [char] (1) NULL ,
	[DIGER25] [char] (1) NULL ,
	[HAKLAR] [varchar] (2000) NULL ,
	[ROL_ID] [varchar] (32) NULL
) ON [PRIMARY]

 CREATE  UNIQUE  INDEX [RIGHTS0] ON [dbo].[RIGHTS]([LOGIN_NAME]) ON [PRIMARY]

INSERT INTO RIGHTS(LOGIN_NAME, USER_NAME, USER_PASS, SUPERVIZOR, IS_EMRI, DISPOZ, PERSONEL, PERSONEL_KOD) VALUES('3', CAST(0x59D64E4554DD43DD AS varchar(8)), '', 'A', 'Y', 'Y', 'Y', '3')
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[PEROKU]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[PEROKU] (
	[IENO] [char] (7) NULL ,
	[CIHAZ_ID] [char] (15) NULL ,
	[TARIH] [datetime] NULL ,
	[SAAT] [datetime] NULL ,
	[TIPKOD] [char] (1) NULL ,
	[PORTNO] [smallint] NULL ,
	[SIRANO] [int] IDENTITY (1, 1) NOT NULL
) ON [PRIMARY]

ALTER TABLE [dbo].[PEROKU] ADD 
	CONSTRAINT [DF__PEROKU__PORTNO__414EAC47] DEFAULT (null) FOR [PORTNO],
	CONSTRAINT [IX_PEROKU] UNIQUE NONCLUSTERED ([IENO], [CIHAZ_ID], [TARIH], [SAAT]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[PEROKUM]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[PEROKUM] (
	[TARIH] [datetime] NULL ,
	[CIHAZ_ID] [char] (15) NULL ,
	[SAATBAS] [datetime] NULL ,
	[SAATBIT] [datetime] NULL ,
	[IENO] [char] (7) NULL ,
	[TIPKOD] [char] (10) NULL ,
	[FIILISURE] [float] NULL ,
	[ARIZA_KODU] [char] (15) NULL ,
	[SIRANO_BAS] [int] NULL ,
	[SIRANO_SON] [int] NULL ,
	[PER_KOD] [char] (11) NULL ,
	[IS_TIP] [char] (3) NULL ,
	[SATILAN_SURE] [float] NULL ,
	[IESIRA] [int] NULL
) ON [PRIMARY]

ALTER TABLE [dbo].[PEROKUM] ADD 
	CONSTRAINT [IX_PEROKUM] UNIQUE NONCLUSTERED ([TARIH], [CIHAZ_ID], [SAATBAS], [SAATBIT], [IENO]) ON [PRIMARY]

 CREATE  INDEX [IX_PEROKUM_1] ON [dbo].[PEROKUM]([PER_KOD], [TARIH], [SAATBAS]) ON [PRIMARY]

 CREATE  INDEX [IX_PEROKUM_IESIRA] ON [dbo].[PEROKUM]([IENO], [IESIRA]) ON [PRIMARY]
END
GO

if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[ISCIUSTA]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
BEGIN
CREATE TABLE [dbo].[ISCIUSTA] (
	[ISCI_KOD] [char] (11) NOT NULL ,
	[ISCI_ADI] [char] (30) NOT NULL ,
	[ISCI_TIP] [char] (1) NULL ,
	[ISCI_UCRET_NET] [float] NULL ,
	[ISCI_UCRET_BRUT] [float] NULL ,
	[ISCI_SSK] [char] (1) NULL ,
	[IS_BAS_TRH] [datetime] NULL ,
	[IS_TEC_YIL] [float] NULL ,
	[AYRILIS_TRH] [datetime] NULL ,
	[REFERANSI] [varchar] (20) NULL ,
	[CALISTIGI_YERLER] [varchar] (30) NULL ,
	[ACIKLAMA] [text] NULL ,
	[MADDI_DURUM] [char] (1) NULL ,
	[SERVIS_KOD] [char] (11) NULL ,
	[RESMI] [image] NULL ,
	[BOLUMU] [char] (1) NULL ,
	[MEZUNIYET] [varchar] (30) NULL ,
	[MEDENI_DURUM] [char] (1) NULL ,
	[ESKI_KURSLAR] [varchar] (255) NULL ,
	[COCUK] [smallint] NULL ,
	[GOREVI] [varchar] (30) NULL ,
	[DYER] [varchar] (20) NULL ,
	[DTAR] [datetime] NULL ,
	[LISTE_SIRA] [smallint] NULL ,
	[TEL1] [varchar] (15) NULL ,
	[TEL2] [varchar] (15) NULL ,
	[ADRES1] [varchar] (40) NULL ,
	[SEMT] [varchar] (15) NULL ,
	[IL] [varchar] (15) NULL ,
	[SSK_NO] [varchar] (16) NULL ,
	[GRUBU] [char] (1) NULL ,
	[CIHAZ_ID] [char] (15) NULL ,
	[CINSIYET] [varchar] (5) NULL ,
	[BEDEN_NO] [varchar] (5) NULL ,
	[AYAKKABI_NO] [varchar] (5) NULL ,
	[TCKIMLIK_NO] [varchar] (15) NULL ,
	[VKIMLIK_NO] [varchar] (15) NULL ,
	[KANGRUBU] [varchar] (10) NULL ,
	[EMAIL] [varchar] (50) NULL
) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]

 CREATE  UNIQUE  INDEX [Isciusta0] ON [dbo].[ISCIUSTA]([ISCI_KOD]) ON [PRIMARY]

 CREATE  INDEX [IX_ISCIUSTA] ON [dbo].[ISCIUSTA]([ISCI_ADI]) ON [PRIMARY]

 CREATE  INDEX [IX_ISCIUSTA_1] ON [dbo].[ISCIUSTA]([LISTE_SIRA]) ON [PRIMARY]

 CREATE  INDEX [IX_BOLUMU] ON [dbo].[ISCIUSTA]([BOLUMU]) ON [PRIMARY]

INSERT INTO ISCIUSTA(ISCI_KOD, ISCI_ADI) VALUES('3', CAST(0x59D64E4554DD43DD AS varchar(8)))
END
GO
